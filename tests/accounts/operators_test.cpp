#include "accounts/guessthrottle.h"
#include "accounts/operators.h"
#include "accounts/passwords.h"
#include "accounts/rights.h"
#include "common/clock.h"
#include "store/accounttables.h"
#include "support/teststore.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The stored password of operator `name`.
QString storedPassword(Database &db, const QString &name)
{
    return OperatorTable(db).byName(name)->password;
}

// An operator kept as older versions did: password in clear.
void addLegacy(Database &db, const QString &name, const QString &password, const QString &right)
{
    Operator o;
    o.name = name;
    o.password = password;
    o.right = right;
    QVERIFY(OperatorTable(db).add(o));
}

qint64 rowidOf(Database &db, const QString &name)
{
    return OperatorTable(db).byName(name)->rowid;
}

const QString kDialog = u"operator dialog"_s;

} // namespace

class OperatorsTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(QDateTime(QDate(2026, 3, 1), QTime(10, 0))); }
    void cleanup() { Clock::release(); }

    void clearPasswordUpgradedOnFirstSuccess();
    void namesCompareExactly();
    void saveRefusals_data();
    void saveRefusals();
    void modifyKeepsPasswordAndDisplay();
    void firstOperatorMustBeSuper();
    void deleteRules_data();
    void deleteRules();
    void unlock_data();
    void unlock();
    void throttle();
    void loginNeedAndCancel();
};

void OperatorsTest::clearPasswordUpgradedOnFirstSuccess()
{
    TestStore t;
    addLegacy(t.db(), u"boss"_s, u"pw"_s, u"D"_s);

    QCOMPARE(verifyOperator(t.db(), u"boss"_s, u"PW"_s).error(), CheckFailure::NoMatch);
    QCOMPARE(storedPassword(t.db(), u"boss"_s), u"pw"_s);

    const auto first = verifyOperator(t.db(), u"boss"_s, u"pw"_s);
    QVERIFY(first);
    QCOMPARE(first->right, u"D"_s);
    const QString stored = storedPassword(t.db(), u"boss"_s);
    QVERIFY(stored.startsWith(u"$y$"_s));

    // Now checked against the hash: the clear text itself is no longer a password.
    QVERIFY(verifyOperator(t.db(), u"boss"_s, u"pw"_s));
    QVERIFY(!verifyOperator(t.db(), u"boss"_s, stored));
    QCOMPARE(storedPassword(t.db(), u"boss"_s), stored);
}

void OperatorsTest::namesCompareExactly()
{
    TestStore t;
    GuessThrottle throttle;
    QVERIFY(saveOperator(t.db(), throttle, kDialog, {{}, u" boss"_s, u"D"_s, {},
                                                      u"a"_s, u"a"_s}));
    QVERIFY(saveOperator(t.db(), throttle, kDialog, {{}, u"boss"_s, u"B"_s, {},
                                                      u"b"_s, u"b"_s}));
    QCOMPARE(OperatorTable(t.db()).count(), 2);
    QVERIFY(!verifyOperator(t.db(), u"boss"_s, u"a"_s));
    QCOMPARE(verifyOperator(t.db(), u" boss"_s, u"a"_s)->right, u"D"_s);
}

void OperatorsTest::saveRefusals_data()
{
    QTest::addColumn<bool>("modifyBoss");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("oldPassword");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focus");

    const auto name = int(OperatorField::Name);
    QTest::newRow("blank name") << false << u"  "_s << u"A"_s << u""_s << u"x"_s << u"y"_s
                                << u"用户名错误！"_s << name;
    QTest::newRow("passwords differ") << false << u"new"_s << u"A"_s << u""_s << u"x"_s << u"y"_s
                                      << u"前后密码设置不一至，请重新输入！"_s
                                      << int(OperatorField::NewPassword);
    QTest::newRow("name taken") << false << u"clerk"_s << u"A"_s << u""_s << u""_s << u""_s
                                << u"用户名已经存在了，请你再换一个！"_s << name;
    QTest::newRow("renamed to another's name") << true << u"clerk"_s << u"D"_s << u"pw"_s << u""_s << u""_s
                                               << u"用户名已经存在了，请你再换一个！"_s << name;
    QTest::newRow("super without old password") << true << u"boss"_s << u"D"_s << u""_s << u""_s << u""_s
                                                << u"密码错误，请重新输入！"_s
                                                << int(OperatorField::OldPassword);
    QTest::newRow("super with wrong old password") << true << u"boss"_s << u"D"_s << u"PW"_s << u"n"_s << u"n"_s
                                                   << u"密码错误，请重新输入！"_s
                                                   << int(OperatorField::OldPassword);
    QTest::newRow("last super demoted") << true << u"boss"_s << u"C"_s << u"pw"_s << u""_s << u""_s
                                        << u"至少要保留一个超级管理员！"_s << int(OperatorField::None);
}

void OperatorsTest::saveRefusals()
{
    QFETCH(bool, modifyBoss);
    QFETCH(QString, name);
    QFETCH(QString, right);
    QFETCH(QString, oldPassword);
    QFETCH(QString, newPassword);
    QFETCH(QString, confirm);
    QFETCH(QString, message);
    QFETCH(int, focus);

    TestStore t;
    addLegacy(t.db(), u"boss"_s, u"pw"_s, u"D"_s);
    addLegacy(t.db(), u"clerk"_s, u"c1"_s, u"A"_s);
    GuessThrottle throttle;
    OperatorEdit edit{std::nullopt, name, right, oldPassword, newPassword, confirm};
    if (modifyBoss)
        edit.rowid = rowidOf(t.db(), u"boss"_s);

    const auto saved = saveOperator(t.db(), throttle, kDialog, edit);
    QVERIFY(!saved);
    QCOMPARE(saved.error().message, message);
    QCOMPARE(int(saved.error().focus), focus);
    QCOMPARE(OperatorTable(t.db()).count(), 2);
    QCOMPARE(OperatorTable(t.db()).byName(u"boss"_s)->right, u"D"_s);
}

void OperatorsTest::modifyKeepsPasswordAndDisplay()
{
    TestStore t;
    addLegacy(t.db(), u"boss"_s, u"pw"_s, u"D"_s);
    Operator clerk;
    clerk.name = u"clerk"_s;
    clerk.password = u"c1"_s;
    clerk.right = u"A"_s;
    clerk.fontSize = 14;
    clerk.bold = true;
    QVERIFY(OperatorTable(t.db()).add(clerk));
    GuessThrottle throttle;

    // A cashier's row is changed without its old password; empty new fields keep it.
    QVERIFY(saveOperator(t.db(), throttle, kDialog,
                         {rowidOf(t.db(), u"clerk"_s), u"clerk2"_s, u"B"_s}));
    const Operator after = *OperatorTable(t.db()).byName(u"clerk2"_s);
    QCOMPARE(after.right, u"B"_s);
    QCOMPARE(after.fontSize, 14.0);
    QVERIFY(after.bold);
    QVERIFY(verifyOperator(t.db(), u"clerk2"_s, u"c1"_s));

    // The super administrator with its old password gets a new one.
    QVERIFY(saveOperator(t.db(), throttle, kDialog,
                         {rowidOf(t.db(), u"boss"_s), u"boss"_s, u"D"_s,
                          u"pw"_s, u"new"_s, u"new"_s}));
    QVERIFY(!verifyOperator(t.db(), u"boss"_s, u"pw"_s));
    QVERIFY(verifyOperator(t.db(), u"boss"_s, u"new"_s));
    for (const Operator &o : OperatorTable(t.db()).all())
        QVERIFY2(o.password.startsWith(u"$y$"_s), qPrintable(o.name));
}

void OperatorsTest::firstOperatorMustBeSuper()
{
    TestStore t;
    GuessThrottle throttle;
    QCOMPARE(saveOperator(t.db(), throttle, kDialog, {{}, u"clerk"_s, u"A"_s}).error().message,
             u"至少要保留一个超级管理员！"_s);
    // An empty password is a password like any other.
    QVERIFY(saveOperator(t.db(), throttle, kDialog, {{}, u"boss"_s, u"D"_s}));
    QVERIFY(verifyOperator(t.db(), u"boss"_s, QString()));
}

void OperatorsTest::deleteRules_data()
{
    QTest::addColumn<QStringList>("others"); // name:right pairs besides boss (D, "pw")
    QTest::addColumn<QString>("victim");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("message"); // empty: deleted

    const QString cannot = u"不能删除用户！"_s;
    QTest::newRow("cashier without password") << QStringList{u"clerk:A"_s} << u"clerk"_s << u""_s
                                              << u"boss"_s << QString();
    QTest::newRow("super, wrong password") << QStringList{u"boss2:D"_s} << u"boss"_s << u"PW"_s
                                           << u"boss2"_s << cannot;
    QTest::newRow("super, logged in") << QStringList{u"boss2:D"_s} << u"boss"_s << u"pw"_s << u"boss"_s
                                      << cannot;
    QTest::newRow("super, another logged in") << QStringList{u"boss2:D"_s} << u"boss"_s << u"pw"_s
                                              << u"boss2"_s << QString();
    QTest::newRow("last super") << QStringList{u"clerk:A"_s} << u"boss"_s << u"pw"_s << u"clerk"_s
                                << u"至少要保留一个超级管理员！"_s;
    QTest::newRow("last operator of all") << QStringList{} << u"boss"_s << u"pw"_s << u""_s << QString();
}

void OperatorsTest::deleteRules()
{
    QFETCH(QStringList, others);
    QFETCH(QString, victim);
    QFETCH(QString, password);
    QFETCH(QString, current);
    QFETCH(QString, message);

    TestStore t;
    addLegacy(t.db(), u"boss"_s, u"pw"_s, u"D"_s);
    for (const QString &o : others)
        addLegacy(t.db(), o.section(u':', 0, 0), u"x"_s, o.section(u':', 1, 1));
    GuessThrottle throttle;
    const int before = OperatorTable(t.db()).count();

    const Result<> done = deleteOperator(t.db(), throttle, kDialog, rowidOf(t.db(), victim), password, current);
    QCOMPARE(done ? QString() : done.error(), message);
    QCOMPARE(OperatorTable(t.db()).count(), message.isEmpty() ? before - 1 : before);
}

void OperatorsTest::unlock_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("released");

    QTest::newRow("the locking operator") << u"clerk"_s << u"c1"_s << true;
    QTest::newRow("a super administrator") << u"boss"_s << u"pw"_s << true;
    QTest::newRow("another manager") << u"mgr"_s << u"m1"_s << false;
    QTest::newRow("the locking operator, wrong password") << u"clerk"_s << u"c2"_s << false;
    QTest::newRow("a super administrator, wrong password") << u"boss"_s << u"c1"_s << false;
    QTest::newRow("nothing typed") << u""_s << u""_s << false;
}

void OperatorsTest::unlock()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, released);

    TestStore t;
    addLegacy(t.db(), u"boss"_s, u"pw"_s, u"D"_s);
    addLegacy(t.db(), u"clerk"_s, u"c1"_s, u"A"_s);
    addLegacy(t.db(), u"mgr"_s, u"m1"_s, u"C"_s);
    GuessThrottle throttle;
    QCOMPARE(mayUnlock(t.db(), throttle, u"lock"_s, u"clerk"_s, name, password), released);
}

void OperatorsTest::throttle()
{
    TestStore t;
    addLegacy(t.db(), u"boss"_s, u"pw"_s, u"D"_s);
    GuessThrottle throttle;
    const QString peer = u"192.168.0.9"_s;
    auto check = [&](const QString &source, const char *password) {
        return verifyOperator(t.db(), throttle, source, u"boss"_s, QString::fromLatin1(password));
    };

    // Four failures, then a minute passes: the window starts again.
    for (int i = 0; i < 4; ++i)
        QVERIFY(!check(peer, "guess"));
    Clock::advanceSeconds(60);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(check(peer, "guess").error(), CheckFailure::NoMatch);
        Clock::advanceSeconds(5);
    }
    // The fifth within a minute pauses the source: even the right password is not looked at.
    QCOMPARE(check(peer, "guess").error(), CheckFailure::NoMatch);
    QCOMPARE(check(peer, "pw").error(), CheckFailure::Throttled);
    // The name is paused wherever it is tried, and another name from the paused address too.
    QCOMPARE(check(u"192.168.0.10"_s, "pw").error(), CheckFailure::Throttled);
    QCOMPARE(verifyOperator(t.db(), throttle, peer, u"nobody"_s, u"pw"_s).error(), CheckFailure::Throttled);
    QVERIFY(!verifyOperator(t.db(), throttle, u"192.168.0.10"_s, u"nobody"_s, u"pw"_s));
    Clock::advanceSeconds(29);
    QCOMPARE(check(peer, "pw").error(), CheckFailure::Throttled);
    Clock::advanceSeconds(1);
    QVERIFY(check(peer, "pw"));
    // The pause leaves a fresh allowance.
    for (int i = 0; i < 4; ++i)
        QVERIFY(!check(peer, "guess"));
    Clock::advanceSeconds(1); // past the desk's budget of failures from PCs per second
    QVERIFY(check(peer, "pw"));
}

void OperatorsTest::loginNeedAndCancel()
{
    TestStore t;
    QCOMPARE(loginNeed(t.db()), LoginNeed::NoOperators);
    addLegacy(t.db(), u"clerk"_s, u"c1"_s, u"A"_s);
    QCOMPARE(loginNeed(t.db()), LoginNeed::Ask);
    Database closed;
    QCOMPARE(loginNeed(closed), LoginNeed::Unreadable);
    // Only an empty table frees the lock for anyone, not one that cannot be read.
    GuessThrottle throttle;
    QVERIFY(!mayUnlock(closed, throttle, u"lock"_s, u"clerk"_s, u"x"_s, u"y"_s));
    TestStore empty;
    QVERIFY(mayUnlock(empty.db(), throttle, u"lock"_s, u"clerk"_s, u"x"_s, u"y"_s));

    const CurrentOperator clerk{u"clerk"_s, u"A"_s};
    const CurrentOperator kept = afterLogin(clerk, std::nullopt);
    QCOMPARE(kept.name, clerk.name);
    QVERIFY(!rights::may(kept.right, Command::Cards));
    Operator boss;
    boss.name = u"boss"_s;
    boss.right = u"D"_s;
    const CurrentOperator now = afterLogin(clerk, boss);
    QCOMPARE(now.name, u"boss"_s);
    QVERIFY(rights::may(now.right, Command::Cards));
}

QTEST_GUILESS_MAIN(OperatorsTest)
#include "operators_test.moc"
