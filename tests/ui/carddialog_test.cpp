#include "accounts/cards.h"
#include "accounts/guessthrottle.h"
#include "audit/trail.h"
#include "store/accounttables.h"
#include "support/testcommands.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/manage/carddialog.h"
#include "ui/widgets/messages.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 3, 1), QTime(9, 0));

// Card 000123 of customer 甲 (00000001): 100 yuan for 50 hours, 30 left; customer 乙 has none.
struct Fixture
{
    Fixture()
    {
        store.addCustomer(u"00000001"_s, u"甲"_s);
        store.addCustomer(u"00000002"_s, u"乙"_s);
        CardTable(store.db()).add({0, u"000123"_s, 100, 50, u"pw"_s, u"00000001"_s, 35, 4, 30});
        dialog = std::make_unique<CardDialog>(
            AccountService(store.db(), commands.runner, throttle,
                           ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))),
            nullptr, [this] { return draws.isEmpty() ? 1 : draws.takeFirst(); });
        dialog->show();
    }
    QLineEdit *field(int i) { return dialog->findChild<QLineEdit *>(u"txtField%1"_s.arg(i)); }
    QPushButton *button(const char *name) { return child<QPushButton>(*dialog, name); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void retype(int i, const QString &text)
    {
        field(i)->selectAll();
        QTest::keyClick(field(i), Qt::Key_Backspace);
        QTest::keyClicks(field(i), text);
    }

    TestStore store;
    TestCommands commands{store.db()};
    GuessThrottle throttle;
    QList<qint64> draws{123, 777};
    std::unique_ptr<CardDialog> dialog;
};

} // namespace

class CardDialogTest : public UiTest
{
    Q_OBJECT

public:
    CardDialogTest() : UiTest(kNow) {}

private slots:
    void passwordNeverShown()
    {
        Fixture f;
        QCOMPARE(f.dialog->objectName(), u"frmCJKGL"_s);
        QCOMPARE(f.dialog->windowTitle(), u"储金卡管理"_s);
        QVERIFY(!f.dialog->isModal());
        const QTreeWidget *list = child<QTreeWidget>(*f.dialog, "lvwCard");
        QCOMPARE(list->topLevelItem(0)->text(3), u"********"_s);
        QCOMPARE(list->topLevelItem(0)->text(7), u"30"_s);
        QVERIFY(f.field(3)->text().isEmpty());
        QCOMPARE(child<QComboBox>(*f.dialog, "cboCustomer")->currentText(), u"甲"_s);
    }

    void raisingTheTotalRaisesTheBalance()
    {
        Fixture f;
        f.click("cmdModify");
        QVERIFY(!f.button("cmdSave")->isEnabled());
        QVERIFY(!f.button("cmdGenerate")->isEnabled());
        QVERIFY(!child<QComboBox>(*f.dialog, "cboCustomer")->isEnabled());
        f.retype(1, u"150"_s);
        QCOMPARE(f.field(7)->text(), u"80"_s);
        // A checkout by card charges 6 while the dialog is open; it is kept.
        Card charged = CardTable(f.store.db()).all().at(0);
        charged.balance = 24;
        QVERIFY(CardTable(f.store.db()).save(charged));
        f.click("cmdSave");
        const Card after = CardTable(f.store.db()).all().at(0);
        QCOMPARE(after.total, 150.0);
        QCOMPARE(after.balance, 74.0);
        QCOMPARE(after.usedHours, 35.0);
        QVERIFY(after.password.startsWith(u"$y$"_s)); // kept, and no longer in clear
        QCOMPARE(f.button("cmdModify")->text(), u"修改储金卡"_s);
    }

    void addGeneratesAFreeNumber()
    {
        Fixture f;
        f.click("cmdAdd");
        QCOMPARE(f.button("cmdAdd")->text(), u"放弃添加"_s);
        QCOMPARE(f.field(0)->text(), u"777"_s); // 123 is taken by 000123
        QVERIFY(f.field(0)->isReadOnly());
        QVERIFY(f.button("cmdSave")->isEnabled());
        QTest::keyClicks(f.field(1), u"20a0"_s); // only digits and "." get in
        QCOMPARE(f.field(1)->text(), u"200"_s);
        QCOMPARE(f.field(7)->text(), u"200"_s);
        QTest::keyClicks(f.field(2), u"100"_s);
        QTest::keyClicks(f.field(3), u"secret"_s);
        // Tab leads from the password to the customer, past the read-only figures.
        f.field(3)->setFocus();
        QTest::keyClick(f.field(3), Qt::Key_Tab);
        QCOMPARE(f.dialog->focusWidget(), child<QComboBox>(*f.dialog, "cboCustomer"));
        f.click("cmdSave");
        QCOMPARE(Messages::takeShownTexts(), QStringList{u"你所添加的资料不全，请你确认输入！"_s});
        QComboBox *owner = child<QComboBox>(*f.dialog, "cboCustomer");
        owner->setCurrentIndex(1);
        emit owner->activated(1);
        QCOMPARE(f.field(4)->text(), u"00000002"_s);
        f.click("cmdSave");
        QVERIFY(Messages::takeShownTexts().isEmpty());
        const Card c = *CardTable(f.store.db()).byNumber(u"777"_s);
        QCOMPARE(c.balance, 200.0);
        QCOMPARE(c.customer, u"00000002"_s);
        GuessThrottle throttle;
        QVERIFY(cards::verify(f.store.db(), throttle, u"t"_s, u"777"_s, u"secret"_s));
    }

    void deleteAsks()
    {
        Fixture f;
        Messages::setNextAnswers({QMessageBox::Cancel});
        f.click("cmdDelete");
        QCOMPARE(Messages::takeShownTexts(), QStringList{u"确定要删除当前卡吗？\n卡号000123"_s});
        QCOMPARE(CardTable(f.store.db()).all().size(), 1);
        Messages::setNextAnswers({QMessageBox::Ok});
        f.click("cmdDelete");
        QVERIFY(CardTable(f.store.db()).all().isEmpty());
    }

    void topUpAddsToTheCardOnceWithATrailEntry()
    {
        Fixture f;
        QVERIFY(audit::attach(f.store.db(), QDir(f.store.dir()).filePath(u"audit.db"_s)));
        f.commands.trail.setOn(true);
        // Cancelled, then refused: nothing written.
        f.click("cmdTopUp"); // no answer: cancelled
        Messages::setNextInputs({u"0"_s});
        f.click("cmdTopUp");
        QCOMPARE(Messages::takeShownTexts().constLast(), u"充值金额必须大于0！"_s);
        QCOMPARE(CardTable(f.store.db()).byNumber(u"000123"_s)->balance, 30.0);

        Messages::setNextInputs({u"50"_s});
        f.click("cmdTopUp");
        const Card c = *CardTable(f.store.db()).byNumber(u"000123"_s);
        QCOMPARE(c.balance, 80.0);
        QCOMPARE(c.total, 150.0);
        QCOMPARE(c.totalHours, 75.0); // still 2 yuan per hour
        QCOMPARE(c.usedHours, 35.0);
        QCOMPARE(f.field(7)->text(), u"80"_s);
        const QList<audit::Entry> trail = audit::entries(f.store.db(), {}, {}, {}, 0, u"储金卡充值"_s);
        QCOMPARE(trail.size(), 1);
        QVERIFY(trail.constFirst().details.startsWith(u"充值50元"_s));
        // Not while a card is being edited.
        f.click("cmdModify");
        QVERIFY(!f.button("cmdTopUp")->isEnabled());
    }
};

QTEST_MAIN(CardDialogTest)
#include "carddialog_test.moc"
