#include "audit/trail.h"
#include "accounts/guessthrottle.h"
#include "common/clock.h"
#include "store/accounttables.h"
#include "support/testcommands.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/shell/logindialog.h"
#include "ui/widgets/messages.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 3, 1), QTime(9, 0));

struct Fixture
{
    Fixture()
    {
        store.addOperator(u"boss"_s, u"pw"_s, u"D"_s);
        store.addOperator(u"clerk"_s, u"c1"_s, u"A"_s);
    }
    TestStore store;
    TestCommands commands{store.db()};
    GuessThrottle throttle;
};

void attempt(LoginDialog &d, const QString &name, const QString &password)
{
    child<QComboBox>(d, "cboUserName")->setEditText(name);
    child<QLineEdit>(d, "txtPassword")->setText(password);
    QTest::mouseClick(child<QPushButton>(d, "cmdOK"), Qt::LeftButton);
}

} // namespace

class LoginDialogTest : public UiTest
{
    Q_OBJECT

public:
    LoginDialogTest() : UiTest(kNow) {}

private slots:
    void wrongPasswordKeepsDialogOpen()
    {
        Fixture f;
        QVERIFY(audit::attach(f.store.db(), QDir(f.store.dir()).filePath(u"audit.db"_s)));
        f.commands.trail.setOn(true);
        LoginDialog d(LoginService(f.store.db(), f.commands.runner, f.throttle));
        QCOMPARE(d.objectName(), u"frmLogin"_s);
        QCOMPARE(d.windowTitle(), u"登录"_s);
        const QComboBox *names = child<QComboBox>(d, "cboUserName");
        QCOMPARE(names->count(), 2);
        QCOMPARE(names->itemText(1), u"clerk"_s);
        d.show();
        attempt(d, u"clerk"_s, u"c2"_s);
        QCOMPARE(Messages::takeShownTexts(), QStringList{u"无效的密码，请重试!"_s});
        QVERIFY(d.isVisible());
        QVERIFY(!d.loggedIn());
        const QLineEdit *password = child<QLineEdit>(d, "txtPassword");
        QCOMPARE(password->selectedText(), u"c2"_s);
        // The failure is in the trail with the name tried, and no password.
        const QList<audit::Entry> trail = audit::entries(f.store.db(), {}, {}, {}, 0, {});
        QCOMPARE(trail.size(), 1);
        QCOMPARE(trail.at(0).kind, u"登录失败"_s);
        QCOMPARE(trail.at(0).operatorName, u"clerk"_s);
        QVERIFY(!trail.at(0).details.contains(u"c2"_s));
    }

    void rightPasswordLogsInAndHashes()
    {
        Fixture f;
        LoginDialog d(LoginService(f.store.db(), f.commands.runner, f.throttle));
        d.show();
        attempt(d, u"clerk"_s, u"c1"_s);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.loggedIn()->name, u"clerk"_s);
        QCOMPARE(d.loggedIn()->right, u"A"_s);
        QVERIFY(OperatorTable(f.store.db()).byName(u"clerk"_s)->password.startsWith(u"$y$"_s));
        QVERIFY(Messages::takeShownTexts().isEmpty());
    }

    void cancelLogsNobodyIn()
    {
        Fixture f;
        LoginDialog d(LoginService(f.store.db(), f.commands.runner, f.throttle));
        d.show();
        child<QLineEdit>(d, "txtPassword")->setText(u"pw"_s);
        QTest::mouseClick(child<QPushButton>(d, "cmdCancel"), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!d.loggedIn());
    }

    void othersAreNotPausedByOnesTypos()
    {
        Fixture f;
        LoginDialog d(LoginService(f.store.db(), f.commands.runner, f.throttle));
        d.show();
        for (int i = 0; i < 5; ++i)
            attempt(d, u"boss"_s, u"guess"_s);
        Messages::takeShownTexts();
        attempt(d, u"clerk"_s, u"c1"_s);
        QCOMPARE(d.loggedIn()->name, u"clerk"_s);
    }

    void guessingIsPaused()
    {
        Fixture f;
        LoginDialog d(LoginService(f.store.db(), f.commands.runner, f.throttle));
        d.show();
        for (int i = 0; i < 5; ++i)
            attempt(d, u"boss"_s, u"guess"_s);
        attempt(d, u"boss"_s, u"pw"_s);
        const QStringList shown = Messages::takeShownTexts();
        QCOMPARE(shown.size(), 6);
        // The right password, not checked, is told to wait rather than that it is wrong.
        QCOMPARE(shown.last(), u"密码错误次数太多，请30秒后再试！"_s);
        QVERIFY(!d.loggedIn());
        Clock::advanceSeconds(30);
        attempt(d, u"boss"_s, u"pw"_s);
        QCOMPARE(d.loggedIn()->name, u"boss"_s);
    }
};

QTEST_MAIN(LoginDialogTest)
#include "logindialog_test.moc"
