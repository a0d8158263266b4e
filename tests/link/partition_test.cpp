// A counter cut off from the database server by the network, and the server restarted: the
// other counter works on, the cut one says so, answers its PCs meanwhile, comes back by itself,
// and no standby PC is turned off.
#include "billing/sessionstart.h"
#include "common/clock.h"
#include "desk/frontdesk.h"
#include "desk/serverwatch.h"
#include "store/countertable.h"
#include "store/machinetable.h"
#include "support/linkfixture.h"
#include "support/testserver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The cluster that scripts/test-postgres.sh started with --veth, in a network namespace of its
// own: DIR/conninfo-veth reaches it over the veth pair (TLS), DIR/conninfo over its socket.
QString vethDir()
{
    return qEnvironmentVariable("CORVANA_TEST_PG_VETH");
}

QString vethConnection()
{
    QFile file(vethDir() + u"/conninfo-veth"_s);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

bool script(const QStringList &arguments)
{
    return QProcess::execute(qEnvironmentVariable("CORVANA_TEST_PG_SCRIPT"),
                             QStringList{arguments.first(), vethDir()} + arguments.mid(1)) == 0;
}

struct Counter : LinkFixture
{
    Counter(const QString &connection, const QString &schema, const QString &name)
        : LinkFixture(connection + u" options='-csearch_path=%1' application_name=%2"_s.arg(schema, name))
    {
    }
    // As the desk's own connection reads it (the store's was only for setting up).
    std::optional<MachineStatus> status(int number)
    {
        const std::optional<Machine> m = MachineTable(desk.db()).byNumber(number);
        return m ? std::optional(m->status) : std::nullopt;
    }
    bool back() { return !desk.serverLost() && desk.counterLink() && desk.counterLink()->holdsName(); }
};

bool settle(FrontDesk &desk, int position)
{
    std::unique_ptr<Checkout> checkout = desk.openCheckout(position);
    return checkout && desk.settle(*checkout, false);
}

QByteArray nextMessage(TestClient &pc)
{
    return pc.waitFor(1, 5000) ? pc.take() : QByteArray();
}

} // namespace

class PartitionTest : public QObject
{
    Q_OBJECT

private slots:
    void aCounterCutOffComesBackAndTheOtherWorksOn()
    {
        if (vethConnection().isEmpty()) {
            if (testserver::required())
                QFAIL("no test database server in a network namespace runs (needs root)");
            QSKIP("no test database server in a network namespace runs (ctest starts one as root)");
        }
        SKIP_WITHOUT_SERVER(true);
        ServerSchema schema;
        // A reaches the server over the network, B over its socket; machine 1 is A's PC,
        // machine 2 B's.
        std::optional<Counter> a(std::in_place, vethConnection(), schema.name(), u"A"_s);
        a->store.addMachine(1, 3, MachineStatus::Off, u"127.0.0.1"_s);
        a->store.addMachine(2, 3, MachineStatus::Off, u"127.0.0.2"_s);
        std::optional<Counter> b(std::in_place, testserver::connection(), schema.name(), u"B"_s);
        a->desk.rebuildList();
        b->desk.rebuildList();
        std::unique_ptr<TestClient> pcA = a->announced(1, u"127.0.0.1"_s);
        std::unique_ptr<TestClient> pcB = b->announced(2, u"127.0.0.2"_s);
        QCOMPARE(a->status(1), std::optional(MachineStatus::Standby));
        QCOMPARE(b->status(2), std::optional(MachineStatus::Standby));
        // How long the test's event loop (the desks' window) was held at most, for the log.
        QElapsedTimer beat;
        qint64 longestHeld = 0;
        QTimer heartbeat;
        QObject::connect(&heartbeat, &QTimer::timeout,
                         [&] { longestHeld = std::max(longestHeld, beat.restart()); });
        beat.start();
        heartbeat.start(100);

        // The link taken down while idle: A says so and refuses, its PC still gets replies, and
        // B starts and settles its own machine.
        QSignalSpy notices(&a->desk, &FrontDesk::statusNotice);
        QVERIFY(script({u"partition"_s, u"on"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(a->desk.serverLost(), 20000);
        QTRY_VERIFY(!notices.isEmpty());
        QCOMPARE(notices.constFirst().constFirst().toString(), ServerWatch::lostText());
        const Result<> refused = a->desk.startTiming(1, SessionInput(), false);
        QVERIFY(!refused);
        QCOMPARE(refused.error(), ServerWatch::lostText());
        QVERIFY(!a->probe(*pcA).isEmpty());
        QVERIFY(b->desk.startTiming(2, SessionInput(), false));
        QCOMPARE(nextMessage(*pcB), bin("_comm\0start\0OK$"));
        QVERIFY(settle(b->desk, 2));
        QCOMPARE(nextMessage(*pcB), bin("_comm\0stop\0OK$"));

        // Back: A connects again by itself, holds its name (once the server has ended the old
        // session) and its PC stands by; B's commands reach it.
        qInfo() << "cut while idle: the window was held for" << std::exchange(longestHeld, 0) << "ms at most";
        QVERIFY(script({u"partition"_s, u"off"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(a->back(), 60000);
        b->desk.refresh();
        QCOMPARE(b->status(1), std::optional(MachineStatus::Standby));
        b->desk.link()->SendCommand(u"127.0.0.1"_s, u"pause"_s);
        QCOMPARE(nextMessage(*pcA), bin("_comm\0pause\0OK$"));

        // Taken down in the middle of A's checkout, holding the journal's lock: B's checkout goes
        // through once the server has ended A's silent transaction.
        QVERIFY(b->desk.startTiming(2, SessionInput(), false));
        nextMessage(*pcB);
        std::optional<Transaction> checkoutAtA(std::in_place, a->desk.db());
        QVERIFY(a->desk.db().exec(u"LOCK TABLE sjlszb IN EXCLUSIVE MODE"_s));
        QVERIFY(script({u"partition"_s, u"on"_s}));
        bool settled = false; // QTRY_ evaluates its condition once more at the end
        QTRY_VERIFY_WITH_TIMEOUT(settled || (settled = settle(b->desk, 2)), 30000);
        checkoutAtA.reset();
        QVERIFY(a->desk.serverLost());
        // Both desks share this event loop: A's dead link and B's lock wait add up here.
        qInfo() << "cut mid-checkout: the window was held for" << std::exchange(longestHeld, 0)
                << "ms at most";
        QVERIFY(script({u"partition"_s, u"off"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(a->back(), 60000);

        // The server restarted: both come back, and both PCs still stand by a minute on.
        QVERIFY(script({u"restart"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(a->desk.serverLost() && b->desk.serverLost(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(a->back() && b->back(), 60000);
        Clock::fix(QDateTime::currentDateTime().addSecs(60));
        a->desk.refresh();
        b->desk.refresh();
        QCOMPARE(a->status(1), std::optional(MachineStatus::Standby));
        QCOMPARE(a->status(2), std::optional(MachineStatus::Standby));
        Clock::release();
        qInfo() << "restart: the window was held for" << longestHeld << "ms at most";
    }
};

QTEST_GUILESS_MAIN(PartitionTest)
#include "partition_test.moc"
