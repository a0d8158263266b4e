// Two counters on one database server: what one commits shows on the other's list at once.
#include "billing/sessionstart.h"
#include "common/clock.h"
#include "common/formats.h"
#include "desk/frontdesk.h"
#include "link/cachedmessage.h"
#include "machines/machinemanagement.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "support/testserver.h"
#include "support/teststore.h"

#include <QSignalSpy>
#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

using testserver::administer;

// Two counters, each a desk in a folder of its own, on one fresh schema. Counter 2 runs no
// timers: only what the server announces can change its list.
struct Counters
{
    // `older`: the schema was made before changes were announced; opening it adds that.
    explicit Counters(bool older = false)
    {
        // Each counter under a name of its own: one name runs once.
        const QString connection = schema.connection();
        first.emplace(connection + QStringLiteral(" application_name=counter1"));
        for (int n = 1; n <= 3; ++n)
            first->addMachine(n);
        if (older)
            administer(QStringLiteral("DROP FUNCTION %1.corvana_changed() CASCADE; "
                                      "DROP FUNCTION %1.corvana_emptied() CASCADE")
                           .arg(schema.name()));
        second.emplace(connection + QStringLiteral(" application_name=counter2"));
        if (!desk1.open(first->path()) || !desk2.open(second->path()))
            qFatal("the counters do not open");
    }
    ~Counters()
    {
        desk1.store().close();
        desk2.store().close();
        first.reset();
        second.reset();
    }

    ServerSchema schema;
    std::optional<TestStore> first;
    std::optional<TestStore> second;
    FrontDesk desk1;
    FrontDesk desk2;
};

} // namespace


class LiveListTest : public QObject
{
    Q_OBJECT

private slots:
    void aSessionStartedElsewhereShowsOnlyOnceCommitted_data()
    {
        QTest::addColumn<bool>("committed");
        QTest::addColumn<bool>("older");
        QTest::newRow("committed") << true << false;
        QTest::newRow("rolled back") << false << false;
        QTest::newRow("committed, schema of an older version") << true << true;
    }

    // A start writes several tables; counter 2 makes one pass of it, and of a change rolled
    // back nothing at all.
    void aSessionStartedElsewhereShowsOnlyOnceCommitted()
    {
        QFETCH(bool, committed);
        QFETCH(bool, older);
        SKIP_WITHOUT_SERVER(true);
        Counters c(older);
        QSignalSpy passes(&c.desk2, &FrontDesk::countsChanged);
        if (!committed)
            c.desk1.db().failCommitsAfter(0);
        QCOMPARE(bool(c.desk1.startTiming(2, {QStringLiteral("张三"), {}, {}, {}, {}, QStringLiteral("5")}, true)),
                 committed);
        c.desk1.db().failCommitsAfter(-1);
        if (committed) {
            QTRY_COMPARE_WITH_TIMEOUT(c.desk2.machineList().at(2)->icon, IconBilling, 1000);
            QTest::qWait(300);
            QCOMPARE(passes.count(), 1);
        } else {
            QTest::qWait(500);
            QCOMPARE(c.desk2.machineList().at(2)->icon, IconOff);
            QCOMPARE(passes.count(), 0);
        }
    }

    void machinesChangedElsewhereKeepTheSelection_data()
    {
        QTest::addColumn<bool>("added");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("selected");
        QTest::newRow("one added") << true << 4 << 3;
        QTest::newRow("one before it removed") << false << 2 << 2;
    }

    void machinesChangedElsewhereKeepTheSelection()
    {
        QFETCH(bool, added);
        QFETCH(int, count);
        QFETCH(int, selected);
        SKIP_WITHOUT_SERVER(true);
        Counters c;
        c.desk2.select(3);
        const qint64 selectedRow = MachineTable(c.desk2.db()).at(3)->rowid;
        if (added) {
            QVERIFY(MachineManagement::add(c.desk1.db(), {QStringLiteral("4号机"), {}, QStringLiteral("3")}));
        } else {
            const auto removal = MachineManagement::remove(c.desk1.db(), MachineTable(c.desk1.db()).at(1)->rowid);
            QVERIFY(removal);
            c.desk1.machineRemoved(*removal);
        }
        QTRY_COMPARE_WITH_TIMEOUT(c.desk2.machineList().count(), count, 1000);
        QCOMPARE(c.desk2.selected(), selected);
        const std::optional<Machine> shown = MachineTable(c.desk2.db()).at(selected);
        QCOMPARE(shown->rowid, selectedRow);
        QCOMPARE(c.desk2.machineList().at(selected)->text, shown->name);
    }

    // The link keeps its goods and web-address messages until the store changes; a change at
    // another counter is such a change.
    void theLinkCachesFollowAnotherCounter()
    {
        SKIP_WITHOUT_SERVER(true);
        Counters c;
        int builds = 0;
        CachedMessage goods([&](Database &db) {
            ++builds;
            return QByteArray::number(tableRows(db, QStringLiteral("spkcb")).size());
        });
        QCOMPARE(goods.get(c.desk2.db()), QByteArray("0"));
        QCOMPARE(goods.get(c.desk2.db()), QByteArray("0"));
        QCOMPARE(builds, 1);
        c.first->addArticle(QStringLiteral("00000001"), QStringLiteral("可乐"), 3);
        QTRY_COMPARE_WITH_TIMEOUT(goods.get(c.desk2.db()), QByteArray("1"), 1000);
        QCOMPARE(builds, 2);
    }

    // The server ends counter 2's session: it says so, refuses to work blind, and is back
    // within the retry, hearing counter 1 again.
    void aLostConnectionIsReportedAndRecovered()
    {
        SKIP_WITHOUT_SERVER(true);
        Counters c;
        QSignalSpy notices(&c.desk2, &FrontDesk::statusNotice);
        Statement pid = c.desk2.db().prepare(QStringLiteral("SELECT pg_backend_pid()"));
        QVERIFY(pid.next());
        administer(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid.integer(0)));

        QTRY_VERIFY_WITH_TIMEOUT(c.desk2.serverLost(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(!notices.isEmpty(), 1000);
        QCOMPARE(notices.constFirst().constFirst().toString(), u"与数据库服务器的连接已断开"_s);
        const Result<> refused = c.desk2.startTiming(1, {}, false);
        QVERIFY(!refused);
        QCOMPARE(refused.error(), u"与数据库服务器的连接已断开"_s);
        QCOMPARE(c.desk2.machineList().count(), 3);

        QTRY_VERIFY_WITH_TIMEOUT(!c.desk2.serverLost(), 7000);
        QVERIFY(c.desk1.startTiming(1, {}, false));
        QTRY_COMPARE_WITH_TIMEOUT(c.desk2.machineList().at(1)->icon, IconBilling, 1000);
    }

    // A pass follows every machine, and on a server each read is a round trip: it reads all
    // machines' goods at once, so with three sessions it costs what it costs with one, and
    // shows each session's own goods.
    void aPassCostsTheSameForAnyNumberOfSessions()
    {
        SKIP_WITHOUT_SERVER(true);
        Counters c;
        c.first->addArticle(u"00000001"_s, u"可乐"_s, 2.5);
        auto tripsOfPass = [&c] {
            const qint64 before = c.desk2.db().roundTrips();
            c.desk2.refresh();
            return c.desk2.db().roundTrips() - before;
        };
        const QDateTime start = Clock::now().addSecs(-600);
        OrderTable orders(c.first->db());
        c.first->startSession(1, start);
        QVERIFY(orders.add({0, 1, u"00000001"_s, 1, start}));
        tripsOfPass(); // statements are prepared once, on first use
        const qint64 withOne = tripsOfPass();
        for (int n = 2; n <= 3; ++n) {
            c.first->startSession(n, start);
            QVERIFY(orders.add({0, n, u"00000001"_s, double(n), start}));
        }
        QCOMPARE(tripsOfPass(), withOne);
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(c.desk2.machineList().at(n)->columns.at(6), formatListMoney(2.5 * n));
    }
};

QTEST_GUILESS_MAIN(LiveListTest)
#include "livelist_test.moc"
