#include "accounts/guessthrottle.h"
#include "store/accounttables.h"
#include "support/testcommands.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/manage/customerdialog.h"
#include "ui/widgets/messages.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 3, 1), QTime(9, 0));
// Longer than a text field takes by default.
const QString kLongId = u"110"_s + QString(40000, u'9');

// Customers 00000001 甲 (with figures and a very long document number) and 00000003 丙; 甲 owns a
// card.
struct Fixture
{
    Fixture()
    {
        store.addCustomer(u"00000001"_s, u"甲"_s, u"身份证"_s, kLongId);
        store.addCustomer(u"00000003"_s, u"丙"_s);
        CustomerTable(store.db()).addVisitByNumber(u"00000001"_s, 12.5, QDateTime(QDate(2026, 2, 3), QTime(8, 5)));
        CardTable(store.db()).add({0, u"9"_s, 10, 5, u"p"_s, u"00000001"_s, 0, 0, 10});
        dialog = std::make_unique<CustomerDialog>(
            AccountService(store.db(), commands.runner, throttle,
                           ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
        dialog->show();
    }
    QLineEdit *field(int i) { return dialog->findChild<QLineEdit *>(u"txtField%1"_s.arg(i)); }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(*dialog, name), Qt::LeftButton); }
    QTreeWidget *list() { return child<QTreeWidget>(*dialog, "lvwCustomer"); }

    TestStore store;
    TestCommands commands{store.db()};
    GuessThrottle throttle;
    std::unique_ptr<CustomerDialog> dialog;
};

} // namespace

class CustomerDialogTest : public UiTest
{
    Q_OBJECT

public:
    CustomerDialogTest() : UiTest(kNow) {}

private slots:
    void opensOnTheFirstCustomer()
    {
        Fixture f;
        QCOMPARE(f.dialog->objectName(), u"frmKeHuGL"_s);
        QCOMPARE(f.dialog->windowTitle(), u"客户管理"_s);
        QVERIFY(!f.dialog->isModal());
        QCOMPARE(f.list()->columnCount(), 11);
        QCOMPARE(f.list()->topLevelItem(0)->text(10), u"2026年2月3日08:05"_s);
        QCOMPARE(f.field(1)->text(), u"甲"_s);
        QCOMPARE(f.field(8)->text(), u"12.5"_s);
        QVERIFY(f.field(0)->isReadOnly() && f.field(10)->isReadOnly() && !f.field(7)->isReadOnly());
        QTest::mouseClick(f.list()->viewport(), Qt::LeftButton, {},
                          f.list()->visualItemRect(f.list()->topLevelItem(1)).center());
        QCOMPARE(f.field(0)->text(), u"00000003"_s);
    }

    void addTakesTheFreeNumber()
    {
        Fixture f;
        f.click("cmdAdd");
        QCOMPARE(child<QPushButton>(*f.dialog, "cmdAdd")->text(), u"放弃添加"_s);
        QCOMPARE(f.field(0)->text(), u"00000002"_s);
        QVERIFY(f.field(1)->text().isEmpty());
        QVERIFY(!child<QPushButton>(*f.dialog, "cmdSave")->isEnabled());
        QTest::keyClicks(f.field(1), u"Yi"_s);
        f.click("cmdSave");
        QVERIFY(f.list()->isVisible());
        QCOMPARE(f.list()->topLevelItemCount(), 3);
        QCOMPARE(CustomerTable(f.store.db()).byName(u"Yi"_s)->number, u"00000002"_s);
    }

    void modifyLeavesFigures()
    {
        Fixture f;
        f.click("cmdModify");
        QCOMPARE(child<QPushButton>(*f.dialog, "cmdModify")->text(), u"放弃修改"_s);
        QTest::keyClicks(f.field(4), u"5551234"_s);
        f.click("cmdSave");
        const Customer c = *CustomerTable(f.store.db()).byName(u"甲"_s);
        QCOMPARE(c.phone, u"5551234"_s);
        QCOMPARE(c.idNumber, kLongId); // not cut short by the frame
        QCOMPARE(c.spent, 12.5);
        QCOMPARE(c.visits, 1);
    }

    void deleteChecksCardsThenAsks()
    {
        Fixture f;
        f.click("cmdDelete");
        QCOMPARE(Messages::takeShownTexts(), QStringList{u"不能删除当前客户，因为还有该客户还有储金卡！"_s});
        QCOMPARE(CustomerTable(f.store.db()).all().size(), 2);

        QTest::mouseClick(f.list()->viewport(), Qt::LeftButton, {},
                          f.list()->visualItemRect(f.list()->topLevelItem(1)).center());
        Messages::setNextAnswers({QMessageBox::Cancel});
        f.click("cmdDelete");
        QCOMPARE(Messages::takeShownTexts(), QStringList{u"确定要删除客户：00000003"_s});
        QCOMPARE(CustomerTable(f.store.db()).all().size(), 2);
        QTest::mouseClick(f.list()->viewport(), Qt::LeftButton, {},
                          f.list()->visualItemRect(f.list()->topLevelItem(1)).center());
        Messages::setNextAnswers({QMessageBox::Ok});
        f.click("cmdDelete");
        QCOMPARE(CustomerTable(f.store.db()).all().size(), 1);
        QCOMPARE(f.list()->topLevelItemCount(), 1);
    }
};

QTEST_MAIN(CustomerDialogTest)
#include "customerdialog_test.moc"
