#include "accounts/customers.h"
#include "audit/trail.h"
#include "common/clock.h"
#include "goods/countersale.h"
#include "goods/purchase.h"
#include "store/accounttables.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "store/serverlink.h"
#include "support/fakepresenter.h"
#include "support/testdesk.h"
#include "support/testserver.h"

#include <QProcess>
#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(23, 0));

// A café of three machines: 1 standing by, 2 billing with its PC connected, 3 standing by
// with its PC gone; an article, a card and the trail.
void furnish(TestDesk &t)
{
    t.store.setTariff(1, 1);
    t.store.setOvernightWindow(QTime(22, 0), QTime(8, 0));
    t.store.addMachine(1, 3, MachineStatus::Standby, u"10.0.0.1"_s);
    t.store.addMachine(2, 3, MachineStatus::Off, u"10.0.0.2"_s);
    t.store.addMachine(3, 3, MachineStatus::Standby, u"10.0.0.3"_s);
    t.store.startSession(2, kNow.addSecs(-3600));
    t.store.addArticle(u"00000001"_s, u"可乐"_s, 3);
    CardTable(t.store.db()).add({0, u"C1"_s, 100, 50, u"pw"_s, {}, 0, 0, 100});
    t.open();
    t.link.connected = QSet<QString>{u"10.0.0.1"_s, u"10.0.0.2"_s};
    t.desk.setOperator(u"小王"_s, u"D"_s);
}

bool settle(TestDesk &t, bool byCard)
{
    const std::unique_ptr<Checkout> c = t.desk.openCheckout(2);
    if (!c)
        return false;
    c->setReceivedText(u"3"_s);
    c->setUseCard(byCard);
    c->setCard(u"C1"_s, u"pw"_s);
    return bool(t.desk.settle(*c, false));
}

// Each command the desk carries out, as it reports success.
const QList<std::pair<const char *, std::function<bool(TestDesk &)>>> &commands()
{
    static const QList<std::pair<const char *, std::function<bool(TestDesk &)>>> all{
        {"start", [](TestDesk &t) { return bool(t.desk.startTiming(1, {u"张三"_s, {}, {}, u"1"_s, {}, u"5"_s}, true)); }},
        {"overnight", [](TestDesk &t) { return bool(t.desk.startOvernight(1, {}, false)); }},
        {"limit", [](TestDesk &t) { return bool(t.desk.changeSession(2, {u"李四"_s, {}, {}, u"2"_s, {}, u"8"_s})); }},
        {"change machine", [](TestDesk &t) { return bool(t.desk.changeMachine(2, 1)); }},
        {"goods for a machine",
         [](TestDesk &t) {
             ShoppingList list;
             list.add(*ArticleTable(t.db()).byNumber(u"00000001"_s));
             return bool(t.desk.purchase(2, list));
         }},
        {"checkout in cash", [](TestDesk &t) { return settle(t, false); }},
        {"checkout by card", [](TestDesk &t) { return settle(t, true); }},
        {"counter sale",
         [](TestDesk &t) {
             return bool(t.desk.commands().run({u"零售"_s},
                                               [&](Effects &e) { return CounterSale::sell(t.db(), e, u"00000001"_s, 2, kNow); }));
         }},
        {"management save",
         [](TestDesk &t) {
             Customer c;
             c.name = u"王五"_s;
             return bool(t.desk.commands().run({u"添加客户"_s}, [&] { return customers::add(t.db(), c); }));
         }},
        {"trail entry alone", [](TestDesk &t) { return bool(t.desk.record(u"登录"_s, 0, {})); }},
        // The pass turns machine 3, whose PC is gone, off.
        {"supervision pass",
         [](TestDesk &t) {
             t.desk.refresh();
             return MachineTable(t.db()).byNumber(3)->status == MachineStatus::Off;
         }},
    };
    return all;
}

qsizetype trailSize(Database &db)
{
    return audit::entries(db, {}, {}, {}, 0, {}).size();
}

} // namespace

// Every command either lands whole and is then carried out, or leaves the store as it was,
// sends nothing and says so; the next one goes through as if nothing had happened.
class CommandPathTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    void aFailedCommitChangesNothingAndSendsNothing_data()
    {
        QTest::addColumn<bool>("onServer");
        QTest::addColumn<int>("command");
        for (bool onServer : {false, true})
            for (int i = 0; i < commands().size(); ++i)
                QTest::addRow("%s, %s", onServer ? "server" : "file", commands().at(i).first) << onServer << i;
    }

    void aFailedCommitChangesNothingAndSendsNothing()
    {
        QFETCH(bool, onServer);
        QFETCH(int, command);
        SKIP_WITHOUT_SERVER(onServer);
        std::optional<ServerSchema> schema;
        if (onServer)
            schema.emplace();
        TestDesk t(onServer ? schema->connection() : QString());
        furnish(t);
        const auto &[name, run] = commands().at(command);
        const QStringList before = tableDump(t.db());
        const qsizetype entries = trailSize(t.db());

        t.db().failCommitsAfter(0);
        QVERIFY2(!run(t), name);
        t.db().failCommitsAfter(-1);
        QVERIFY(!t.db().inTransaction());
        QCOMPARE(tableDump(t.db()), before);
        QCOMPARE(t.link.sent, QStringList());
        QCOMPARE(trailSize(t.db()), entries);

        QVERIFY2(run(t), name);
        const QStringList after = tableDump(t.db());
        // The pass writes no entry; a trail entry alone writes nothing else.
        QCOMPARE(trailSize(t.db()) > entries, QByteArray(name) != "supervision pass");
        QVERIFY(after != before || trailSize(t.db()) > entries);
        // What was reported done is on disk: another connection reads it.
        Store again;
        QString error;
        QVERIFY2(again.open(t.store.path(), &error), qPrintable(error));
        QCOMPARE(tableDump(again.db()), after);
    }

    // The connection to the server lost at the commit: the desk cannot know whether the
    // action was stored, says so, sends nothing, and once connected again asks the server and
    // tells the operator; only a stored action then reaches the PC.
    void aCommitCutOffIsSettledOnceTheServerIsBack_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("afterSending");
        QTest::addColumn<QString>("told");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<int>("machine");
        QTest::addColumn<bool>("inSession"); // the machine's session once it is settled
        for (const bool after : {false, true}) {
            const QString fate = after ? u"已经保存。"_s : u"没有保存，数据没有任何改动。"_s;
            QTest::addRow("start, cut %s the commit", after ? "after" : "before")
                << u"start"_s << after << u"连接断开时的“开始记费”"_s + fate
                << (after ? QStringList{u"10.0.0.1 start"_s} : QStringList()) << 1 << after;
            QTest::addRow("checkout, cut %s the commit", after ? "after" : "before")
                << u"checkout in cash"_s << after << u"连接断开时的“结帐”"_s + fate
                << (after ? QStringList{u"10.0.0.2 stop"_s} : QStringList()) << 2 << !after;
        }
    }

    void aCommitCutOffIsSettledOnceTheServerIsBack()
    {
        QFETCH(QString, command);
        QFETCH(bool, afterSending);
        QFETCH(QString, told);
        QFETCH(QStringList, sent);
        QFETCH(int, machine);
        QFETCH(bool, inSession);
        SKIP_WITHOUT_SERVER(true);
        Clock::release(); // the desk's reconnecting runs on timers
        ServerSchema schema;
        TestDesk t(schema.connection());
        furnish(t);
        FakePresenter operatorAtDesk;
        operatorAtDesk.autoAnswer = Answer::Ok;
        t.desk.questions().setPresenter(&operatorAtDesk);
        const auto run = std::find_if(commands().begin(), commands().end(),
                                      [&](const auto &c) { return command == QLatin1StringView(c.first); })
                             ->second;
        t.db().serverLink()->loseConnectionAtCommit(afterSending);
        QVERIFY(!run(t));
        QVERIFY(t.db().serverLink()->commitInDoubt());
        QCOMPARE(t.link.sent, QStringList());

        QTRY_VERIFY_WITH_TIMEOUT(!operatorAtDesk.asked.isEmpty(), 30000);
        QCOMPARE(operatorAtDesk.asked.first().text, told);
        QCOMPARE(t.link.sent, sent);
        QCOMPARE(MachineTable(t.db()).byNumber(machine)->inSession(), inSession);
    }

    // Another program reading the file for a moment does not fail the cashier's checkout;
    // one that holds it beyond the wait fails it whole, and the desk carries on afterwards.
    void anOutsideReaderIsWaitedForThenRefused_data()
    {
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<bool>("settled");
        QTest::newRow("held briefly") << 1000 << true;
        QTest::newRow("held beyond the wait") << 7000 << false;
    }

    void anOutsideReaderIsWaitedForThenRefused()
    {
        QFETCH(int, holdMs);
        QFETCH(bool, settled);
        TestDesk t;
        furnish(t);
        // A shell holding a read transaction open for a while, then letting go by itself.
        QProcess reader;
        reader.start(u"bash"_s, {u"-c"_s, u"{ printf \"PRAGMA key='%1';\\nBEGIN;\\nSELECT count(*) FROM yxsjb;\\n\"; "
                                          "sleep %2; echo COMMIT; } | sqlcipher %3"_s
                                              .arg(QString::fromLatin1(Store::key()))
                                              .arg(holdMs / 1000.0)
                                              .arg(t.store.path())});
        QVERIFY(reader.waitForReadyRead(5000)); // the count: the reader holds the file now
        QCOMPARE(settle(t, false), settled);
        QCOMPARE(t.link.sent.isEmpty(), !settled);
        QCOMPARE(MachineTable(t.db()).byNumber(2)->inSession(), !settled);
        QVERIFY(!t.db().inTransaction());
        QVERIFY(reader.waitForFinished(15000));
        // Once the reader has gone the desk writes again, and it lasts.
        QVERIFY(t.desk.startTiming(1, {}, false));
        Store again;
        QString error;
        QVERIFY2(again.open(t.store.path(), &error), qPrintable(error));
        QVERIFY(MachineTable(again.db()).byNumber(1)->inSession());
    }
};

QTEST_MAIN(CommandPathTest)
#include "commandpath_test.moc"
