// Several counters on one database server, each with the PCs connected to it.
#include "billing/sessionstart.h"
#include "common/clock.h"
#include "desk/frontdesk.h"
#include "store/countertable.h"
#include "store/machinetable.h"
#include "support/linkfixture.h"
#include "support/testserver.h"

#include <QSignalSpy>
#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// A counter named `name` on the server: a desk with its link server on an ephemeral port.
struct Counter : LinkFixture
{
    Counter(const ServerSchema &schema, const QString &name)
        : LinkFixture(schema.connection() + QStringLiteral(" application_name=") + name)
    {
    }
    std::unique_ptr<TestClient> pc(int machine) { return announcedTo(*server, machine); }
    MachineStatus status(int number) { return MachineTable(store.db()).byNumber(number)->status; }
};

// Two counters, A and B, on a fresh schema with machine 1 at this host's loopback address.
struct TwoCounters
{
    TwoCounters()
    {
        a.emplace(schema, QStringLiteral("A"));
        a->store.addMachine(1, 3, MachineStatus::Off, QStringLiteral("127.0.0.1"));
        b.emplace(schema, QStringLiteral("B"));
        a->desk.rebuildList();
        b->desk.rebuildList();
    }

    ServerSchema schema;
    std::optional<Counter> a;
    std::optional<Counter> b;
};

// Lets the messages of a second arrive and returns those the PC got.
QList<QByteArray> arrivedWithin(TestClient &pc, int ms)
{
    QTest::qWait(ms);
    return std::exchange(pc.messages, {});
}

} // namespace

class CountersTest : public QObject
{
    Q_OBJECT

private slots:
    void commandsReachThePcOnceWhicheverCounterSendsThem_data()
    {
        QTest::addColumn<bool>("heldByTheOther");
        QTest::newRow("PC at the other counter") << true;
        QTest::newRow("PC at this counter") << false;
    }

    // A start and a checkout at counter A: the PC gets "start", then "stop", each exactly once,
    // from the counter it is connected to; nothing leaves before the transaction commits.
    void commandsReachThePcOnceWhicheverCounterSendsThem()
    {
        QFETCH(bool, heldByTheOther);
        SKIP_WITHOUT_SERVER(true);
        TwoCounters c;
        std::unique_ptr<TestClient> pc = (heldByTheOther ? *c.b : *c.a).pc(1);
        QCOMPARE(c.a->status(1), MachineStatus::Standby);

        SessionInput input;
        QVERIFY(c.a->desk.startTiming(1, input, false));
        QCOMPARE(arrivedWithin(*pc, 1000), QList<QByteArray>{bin("_comm\0start\0OK$")});
        QCOMPARE(c.b->desk.machineList().at(1)->icon, IconBilling);

        std::unique_ptr<Checkout> checkout = c.a->desk.openCheckout(1);
        QVERIFY(checkout);
        QVERIFY(c.a->desk.settle(*checkout, false));
        QCOMPARE(arrivedWithin(*pc, 1000), QList<QByteArray>{bin("_comm\0stop\0OK$")});
        // Counter B's list shows it settled, as A's does.
        QCOMPARE(c.b->desk.machineList().at(1)->columns.mid(1).join(QString()), QString());
        QCOMPARE(c.b->desk.machineList().at(1)->icon, IconStandby);

        // A command posted in a transaction that rolls back never leaves.
        {
            Transaction t(c.a->desk.db());
            c.a->desk.link()->SendCommand(QStringLiteral("127.0.0.1"), QStringLiteral("pause"));
        }
        QCOMPARE(arrivedWithin(*pc, 500).size(), heldByTheOther ? 0 : 1);
    }

    void postedMessagesAreCheckedBeforeSending_data()
    {
        const QString pause = QString::fromLatin1(bin("_comm\0pause\0OK$").toBase64());
        QTest::addColumn<QString>("posted");
        QTest::addColumn<int>("sent");
        QTest::newRow("for B's PC") << u"pc\tB\t127.0.0.1\tF\t"_s + pause << 1;
        QTest::newRow("for another counter") << u"pc\tC\t127.0.0.1\tF\t"_s + pause << 0;
        QTest::newRow("not base64") << u"pc\tB\t127.0.0.1\tF\t%%%"_s << 0;
        QTest::newRow("no reach") << u"pc\tB\t127.0.0.1\t\t"_s + pause << 0;
        QTest::newRow("a field short") << u"pc\tB\t127.0.0.1\t"_s + pause << 0;
        QTest::newRow("not for a PC") << u"chat\tB\t127.0.0.1\tF\t"_s + pause << 0;
    }

    // Whatever another connection posts, counter B sends only well-formed bytes meant for it.
    void postedMessagesAreCheckedBeforeSending()
    {
        QFETCH(QString, posted);
        QFETCH(int, sent);
        SKIP_WITHOUT_SERVER(true);
        TwoCounters c;
        std::unique_ptr<TestClient> pc = c.b->pc(1);
        QVERIFY(c.a->store.db().serverLink()->post(posted));
        QCOMPARE(arrivedWithin(*pc, 500).size(), sent);
    }

    void oneCopyPerCounterName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("opens");
        QTest::newRow("another name") << QStringLiteral("C") << true;
        QTest::newRow("the same name") << QStringLiteral("A") << false;
    }

    // A second copy under a running counter's name does not open; once that counter has gone it
    // does.
    void oneCopyPerCounterName()
    {
        QFETCH(QString, name);
        QFETCH(bool, opens);
        SKIP_WITHOUT_SERVER(true);
        TwoCounters c;
        TestStore copy(c.schema.connection() + QStringLiteral(" application_name=") + name);
        FrontDesk desk;
        const Result<> opened = desk.open(copy.path());
        QCOMPARE(bool(opened), opens);
        if (opens)
            return;
        QCOMPARE(opened.error(), QStringLiteral("柜台“A”已经在运行中，同名的柜台只能运行一个"));
        c.a.reset();
        QVERIFY(desk.open(copy.path()));
        QCOMPARE(desk.counterName(), QStringLiteral("A"));
    }

    void aPcIsConnectedWhileItsCounterLives_data()
    {
        QTest::addColumn<QString>("counterB");
        QTest::addColumn<MachineStatus>("status");
        QTest::newRow("lives") << u"lives"_s << MachineStatus::Standby;
        QTest::newRow("killed") << u"killed"_s << MachineStatus::Off;
        QTest::newRow("lost the server and came back") << u"reconnected"_s << MachineStatus::Standby;
    }

    // Counter A's pass leaves B's standby PC standing by, and turns it off once B has died (its
    // server session ended with it); a B that lost the server and came back holds its PCs again.
    void aPcIsConnectedWhileItsCounterLives()
    {
        QFETCH(QString, counterB);
        QFETCH(MachineStatus, status);
        SKIP_WITHOUT_SERVER(true);
        TwoCounters c;
        std::unique_ptr<TestClient> pc = c.b->pc(1);
        if (counterB != u"lives") {
            if (counterB == u"killed")
                c.b->desk.store().close(); // the desk's session ends as if its process had
            else
                testserver::administer(u"SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                       "WHERE application_name = 'B' AND pid IN (SELECT pid FROM pg_locks "
                                       "WHERE locktype = 'advisory')"_s);
            QVERIFY(QTest::qWaitFor([&] { return CounterTable(c.a->store.db()).holdings(u"A"_s).live == QStringList{u"A"_s}; }));
        }
        if (counterB == u"reconnected") {
            QTRY_VERIFY_WITH_TIMEOUT(c.b->desk.serverLost(), 2000);
            QTRY_VERIFY_WITH_TIMEOUT(!c.b->desk.serverLost(), 8000);
            QCOMPARE(CounterTable(c.a->store.db()).holdings(u"A"_s).live, (QStringList{u"A"_s, u"B"_s}));
        }
        c.a->desk.refresh();
        QCOMPARE(c.a->status(1), status);
    }

    void standbyPcsOutlastARestart_data()
    {
        QTest::addColumn<bool>("bComesBack");
        QTest::addColumn<int>("passAfter"); // seconds after the restart
        QTest::addColumn<MachineStatus>("status");
        QTest::newRow("B back, pass at once") << true << 0 << MachineStatus::Standby;
        QTest::newRow("B back, pass a minute later") << true << 60 << MachineStatus::Standby;
        QTest::newRow("B not back yet, pass at once") << false << 0 << MachineStatus::Standby;
        QTest::newRow("B never back, pass a minute later") << false << 60 << MachineStatus::Off;
    }

    // Every session ends, as when the server restarts. A, back first, leaves B's standby PC
    // standing by until B has had the chance to come back and hold it again; a B that never
    // comes back loses it once the grace is over.
    void standbyPcsOutlastARestart()
    {
        QFETCH(bool, bComesBack);
        QFETCH(int, passAfter);
        QFETCH(MachineStatus, status);
        SKIP_WITHOUT_SERVER(true);
        TwoCounters c;
        std::unique_ptr<TestClient> pc = c.b->pc(1);
        const QDateTime restart = QDateTime::currentDateTime();
        Clock::fix(restart);
        if (!bComesBack)
            c.b->desk.store().close();
        testserver::administer(u"SELECT pg_terminate_backend(pid) FROM %1.counters"_s.arg(c.schema.name()));
        QTRY_VERIFY_WITH_TIMEOUT(c.a->desk.serverLost(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!c.a->desk.serverLost() && c.a->desk.counterLink()->holdsName(), 15000);
        if (bComesBack)
            QTRY_VERIFY_WITH_TIMEOUT(!c.b->desk.serverLost() && c.b->desk.counterLink()->holdsName(), 15000);
        Clock::fix(restart.addSecs(passAfter));
        c.a->desk.refresh();
        QCOMPARE(c.a->status(1), status);
        Clock::release();
    }

    // B's connection was lost, and its old session (as the server sees it) still holds B's name
    // when B is back: B waits, says so, and takes the name once that session has ended.
    void aCounterTakesItsNameBackOnceTheOldSessionEnds()
    {
        SKIP_WITHOUT_SERVER(true);
        TwoCounters c;
        std::unique_ptr<TestClient> pc = c.b->pc(1);
        QSignalSpy notices(&c.b->desk, &FrontDesk::statusNotice);
        testserver::administer(
            u"SELECT pg_terminate_backend(pid) FROM %1.counters WHERE name = 'B'"_s.arg(c.schema.name()));
        QTRY_VERIFY_WITH_TIMEOUT(c.b->desk.serverLost(), 5000);
        std::optional<Database> oldSession(std::in_place);
        QVERIFY(oldSession->openServer(c.schema.connection(), Store::key()));
        Statement lock = oldSession->prepare(
            u"SELECT pg_try_advisory_lock(14914, hashtext(current_schema() || '/' || 'B'))"_s);
        QVERIFY(lock.next() && lock.integer(0) == 1);

        QTRY_VERIFY_WITH_TIMEOUT(!c.b->desk.serverLost(), 15000);
        QVERIFY(!c.b->desk.counterLink()->holdsName());
        QCOMPARE(notices.last().constFirst().toString(),
                 u"已重新连接数据库服务器，但柜台“B”原来的连接尚未结束，稍后自动重试"_s);
        oldSession.reset();
        QTRY_VERIFY_WITH_TIMEOUT(c.b->desk.counterLink()->holdsName(), 10000);
        QCOMPARE(notices.last().constFirst().toString(), u"已重新连接数据库服务器"_s);
        // Holding its PC again: A sees it connected.
        c.a->desk.refresh();
        QCOMPARE(c.a->status(1), MachineStatus::Standby);
    }

    // Time is up on a PC held by counter B: only B asks the operator, and the PC is told once.
    void onlyTheHoldingCounterAsksWhenTimeIsUp()
    {
        SKIP_WITHOUT_SERVER(true);
        TwoCounters c;
        std::unique_ptr<TestClient> pc = c.b->pc(1);
        SessionInput input;
        input.hours = QStringLiteral("0");
        input.minutes = QStringLiteral("1");
        Clock::fix(QDateTime(QDate(2026, 12, 7), QTime(20, 0)));
        QVERIFY(c.a->desk.startTiming(1, input, false));
        arrivedWithin(*pc, 500);
        Clock::advanceSeconds(120);

        c.a->desk.refresh();
        c.b->desk.refresh();
        QCOMPARE(c.a->presenter.asked.size(), 0);
        QCOMPARE(c.b->presenter.asked.size(), 1);
        const QList<QByteArray> told = arrivedWithin(*pc, 500);
        QCOMPARE(told.size(), 2);
        QCOMPARE(told.first(), bin("_comm\0stop\0OK$"));
        Clock::release();
    }
};

QTEST_GUILESS_MAIN(CountersTest)
#include "counters_test.moc"
