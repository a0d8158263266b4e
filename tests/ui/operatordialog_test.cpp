#include "accounts/guessthrottle.h"
#include "accounts/operators.h"
#include "store/accounttables.h"
#include "support/testcommands.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/widgets/messages.h"
#include "ui/manage/operatordialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 3, 1), QTime(9, 0));

// boss (D, "pw") and clerk (A, "c1"), passwords still in clear; boss is logged in.
struct Fixture
{
    Fixture()
    {
        store.addOperator(u"boss"_s, u"pw"_s, u"D"_s);
        store.addOperator(u"clerk"_s, u"c1"_s, u"A"_s);
        owned = std::make_unique<OperatorDialog>(
            AccountService(store.db(), commands.runner, throttle,
                           ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))),
            u"boss"_s);
        owned->show();
    }
    QPushButton *button(const char *name) { return child<QPushButton>(*owned, name); }
    QLineEdit *edit(const char *name) { return child<QLineEdit>(*owned, name); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void type(const char *name, const QString &text) { QTest::keyClicks(edit(name), text); }
    void pick(int row)
    {
        QTreeWidget *list = child<QTreeWidget>(*owned, "lvwUser");
        list->setCurrentItem(list->topLevelItem(row));
    }

    TestStore store;
    TestCommands commands{store.db()};
    GuessThrottle throttle;
    std::unique_ptr<OperatorDialog> owned;
};

} // namespace

class OperatorDialogTest : public UiTest
{
    Q_OBJECT

public:
    OperatorDialogTest() : UiTest(kNow) {}

private slots:
    void listNeverShowsPasswords()
    {
        Fixture f;
        QCOMPARE((*f.owned).objectName(), u"frmAdmin"_s);
        QCOMPARE((*f.owned).windowTitle(), u"管理员设置"_s);
        const QTreeWidget *list = child<QTreeWidget>((*f.owned), "lvwUser");
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(1), u"********"_s);
        QCOMPARE(list->topLevelItem(0)->text(2), u"D—超级管理员"_s);
        QCOMPARE(list->topLevelItem(1)->text(2), u"A—记费员"_s);
        QVERIFY(!child<QGroupBox>((*f.owned), "fraUser")->isVisible());
        QVERIFY(!f.button("cmdSave")->isEnabled());
    }

    void addAndAbandon()
    {
        Fixture f;
        f.click("cmdAdd");
        QCOMPARE(f.button("cmdAdd")->text(), u"放弃添加"_s);
        QVERIFY(child<QGroupBox>((*f.owned), "fraUser")->isVisible());
        QVERIFY(!f.button("cmdModify")->isEnabled());
        QVERIFY(!f.button("cmdDelete")->isEnabled());
        QVERIFY(f.button("cmdSave")->isEnabled());
        QCOMPARE(child<QComboBox>((*f.owned), "cboRight")->currentText(), u"A—记费员"_s);
        f.click("cmdAdd");
        QCOMPARE(f.button("cmdAdd")->text(), u"添加用户"_s);
        QVERIFY(!f.button("cmdSave")->isEnabled());
        QVERIFY(f.button("cmdModify")->isEnabled());
        QCOMPARE(OperatorTable(f.store.db()).count(), 2);
    }

    void modifyShowsNoPassword()
    {
        Fixture f;
        f.pick(1);
        f.click("cmdModify");
        QCOMPARE(f.button("cmdModify")->text(), u"放弃修改"_s);
        QCOMPARE(f.edit("txtUserName")->text(), u"clerk"_s);
        for (const char *p : {"txtOldPassword", "txtNewPassword", "txtConfirmPassword"}) {
            QVERIFY(f.edit(p)->text().isEmpty());
            QCOMPARE(f.edit(p)->echoMode(), QLineEdit::Password);
            QCOMPARE(f.edit(p)->maxLength(), 14);
        }
        QVERIFY(!f.button("cmdSave")->isEnabled());
        QVERIFY(!f.button("cmdAdd")->isEnabled());
        f.type("txtUserName", u"2"_s);
        QVERIFY(f.button("cmdSave")->isEnabled());
        f.click("cmdSave");
        QVERIFY(Messages::takeShownTexts().isEmpty());
        QVERIFY(!child<QGroupBox>((*f.owned), "fraUser")->isVisible());
        QCOMPARE(child<QTreeWidget>((*f.owned), "lvwUser")->topLevelItem(1)->text(0), u"clerk2"_s);
        QVERIFY(verifyOperator(f.store.db(), u"clerk2"_s, u"c1"_s));
    }

    void superNeedsOldPassword()
    {
        Fixture f;
        f.click("cmdModify");
        f.type("txtNewPassword", u"n"_s);
        f.type("txtConfirmPassword", u"n"_s);
        f.click("cmdSave");
        QCOMPARE(Messages::takeShownTexts(), QStringList{u"密码错误，请重新输入！"_s});
        QVERIFY(f.edit("txtNewPassword")->text().isEmpty());
        QCOMPARE((*f.owned).focusWidget(), f.edit("txtOldPassword"));
        f.type("txtOldPassword", u"pw"_s);
        f.type("txtNewPassword", u"n"_s);
        f.type("txtConfirmPassword", u"n"_s);
        f.click("cmdSave");
        QVERIFY(Messages::takeShownTexts().isEmpty());
        QVERIFY(verifyOperator(f.store.db(), u"boss"_s, u"n"_s));
    }

    void deleteSuperAsksPassword()
    {
        Fixture f;
        // The logged-in super administrator cannot delete itself, even with its password.
        Messages::setNextAnswers({QMessageBox::Yes});
        Messages::setNextInputs({u"pw"_s});
        f.click("cmdDelete");
        QCOMPARE(Messages::takeShownTexts(),
                 (QStringList{u"确实要删除用户：boss 吗?"_s, u"请输入密码："_s, u"不能删除用户！"_s}));
        QCOMPARE(OperatorTable(f.store.db()).count(), 2);

        // A cashier goes without a password; No keeps it.
        f.pick(1);
        Messages::setNextAnswers({QMessageBox::No});
        f.click("cmdDelete");
        QCOMPARE(OperatorTable(f.store.db()).count(), 2);
        f.pick(1);
        Messages::setNextAnswers({QMessageBox::Yes});
        f.click("cmdDelete");
        QCOMPARE(Messages::takeShownTexts().size(), 2);
        QCOMPARE(OperatorTable(f.store.db()).count(), 1);
        QCOMPARE(child<QTreeWidget>((*f.owned), "lvwUser")->topLevelItemCount(), 1);
    }

    void renamedSelfStillCannotBeDeleted()
    {
        Fixture f;
        Operator chief;
        chief.name = u"chief"_s;
        chief.right = u"D"_s;
        OperatorTable(f.store.db()).add(chief);
        QSignalSpy renamed(f.owned.get(), &OperatorDialog::currentRenamed);
        f.click("cmdModify");
        f.edit("txtUserName")->selectAll();
        f.type("txtUserName", u"boss2"_s);
        f.type("txtOldPassword", u"pw"_s);
        f.click("cmdSave");
        QVERIFY(Messages::takeShownTexts().isEmpty());
        // The desk takes the new name at once, so the dialog opened again still knows it.
        QCOMPARE(renamed.size(), 1);
        QCOMPARE(renamed.at(0).at(0).toString(), u"boss2"_s);
        Messages::setNextAnswers({QMessageBox::Yes});
        Messages::setNextInputs({u"pw"_s});
        f.click("cmdDelete");
        QCOMPARE(Messages::takeShownTexts().last(), u"不能删除用户！"_s);
        QVERIFY(OperatorTable(f.store.db()).byName(u"boss2"_s));
    }
};

QTEST_MAIN(OperatorDialogTest)
#include "operatordialog_test.moc"
