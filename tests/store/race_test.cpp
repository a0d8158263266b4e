#include "billing/checkout.h"
#include "billing/machinelist.h"
#include "billing/sessionstart.h"
#include "common/clock.h"
#include "goods/orders.h"
#include "store/accounttables.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/journaltable.h"
#include "store/machinetable.h"
#include "support/testcommands.h"
#include "support/testserver.h"

#include <QTest>
#include <functional>
#include <latch>
#include <thread>

using namespace Qt::StringLiterals;

// Two counters on one server acting at the same moment, each on its own connection and
// thread. Both have read what they act on before either writes; the locks make them take
// turns, and the second must find what the first has done.
class RaceTest : public QObject
{
    Q_OBJECT

private slots:
    void twoCountersSettle_data();
    void twoCountersSettle();
    void twoCountersAtOneMachine_data();
    void twoCountersAtOneMachine();
    void oppositeOrdersNeverDeadlock();
};

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

// How many connections wait for a lock right now.
int waiting(Database &monitor)
{
    Statement s = monitor.prepare(
        u"SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' AND datname = current_database()"_s);
    return s.next() ? int(s.integer(0)) : -1;
}

// Runs `work` at two counters, each on its own connection and thread, while a third holds
// `lock` (a lock of the kind a counter takes first), and lets go once both wait for it: the two
// then meet exactly where the locks must put them in turn.
void raceBehindLock(const QString &path, const std::function<bool(Database &)> &lock,
                    const std::function<void(Database &, int counter)> &work)
{
    Store holder;
    QString error;
    QVERIFY2(holder.open(path, &error), qPrintable(error));
    std::optional<Transaction> holding(std::in_place, holder.db());
    QVERIFY(lock(holder.db()));
    std::vector<std::thread> threads;
    for (int counter = 0; counter < 2; ++counter) {
        threads.emplace_back([&work, &path, counter] {
            Store store;
            QString ignored;
            if (store.open(path, &ignored))
                work(store.db(), counter);
        });
    }
    Store monitor;
    QVERIFY2(monitor.open(path, &error), qPrintable(error));
    const bool bothWait = QTest::qWaitFor([&] { return waiting(monitor.db()) == 2; }, 10000);
    holding.reset(); // nothing written: the counters go on
    for (std::thread &t : threads)
        t.join();
    QVERIFY(bothWait);
}

} // namespace

void RaceTest::twoCountersSettle_data()
{
    QTest::addColumn<int>("secondPosition");
    QTest::addColumn<bool>("byCard");
    QTest::addColumn<QString>("refusal"); // of the second; none: both settle
    QTest::newRow("one machine settled at both counters") << 1 << false << u"该计算机已经结帐！"_s;
    // 6 yuan each from a card holding 10.
    QTest::newRow("one card paying twice")
        << 2 << true << u"储金卡金额不足，请确认后再结帐！\r\n当前卡金额：4"_s;
    // Machine 3 settled before: the two at once must take journal IDs 2 and 3, not one twice.
    QTest::newRow("two machines at once") << 2 << false << QString();
}

void RaceTest::twoCountersSettle()
{
    QFETCH(int, secondPosition);
    QFETCH(bool, byCard);
    QFETCH(QString, refusal);
    SKIP_WITHOUT_SERVER(true);
    Clock::fix(kNow);
    EngineStore s(true);
    Database &db = s.t->db();
    s.t->setTariff(1, 1);
    for (int n = 1; n <= 3; ++n) {
        s.t->addMachine(n, 2, MachineStatus::Standby); // 180 minutes at 2 yuan: 6 yuan due
        s.t->startSession(n, kNow.addSecs(-180 * 60));
    }
    // 2 yuan per hour: 6 yuan of machine time costs 6 on the card.
    QVERIFY(CardTable(db).add({.rowid = 0, .number = u"C1"_s, .total = 100, .totalHours = 50, .password = u"pw"_s,
                               .customer = {}, .usedHours = 0, .sessions = 0, .balance = 10}));
    {
        MachineList list;
        Checkout first(BillingScope{db, list}, u"小王"_s);
        QVERIFY(first.open(3));
        QVERIFY(TestCommands(db).run([&](Effects &e) { return first.settle(e); }));
    }

    std::optional<Checkout::Outcome> outcomes[2];
    const int positions[2] = {1, secondPosition};
    // The journal held, as by a third checkout, until both counters wait for it.
    raceBehindLock(
        // A lock is taken with the next statement: the read takes it.
        s.t->path(),
        [](Database &holder) { return holder.lockTable(u"sjlszb"_s) && JournalTable(holder).nextId() > 0; },
        [&](Database &counterDb, int counter) {
            MachineList list;
            Checkout checkout(BillingScope{counterDb, list}, u"小王"_s);
            if (!checkout.open(positions[counter]))
                return;
            checkout.setReceivedText(u"6"_s);
            checkout.setUseCard(byCard);
            checkout.setCard(u"C1"_s, u"pw"_s);
            outcomes[counter] = TestCommands(counterDb).run([&](Effects &e) { return checkout.settle(e); });
        });

    int settled = 0;
    for (const auto &outcome : outcomes) {
        QVERIFY(outcome);
        if (*outcome)
            ++settled;
        else
            QCOMPARE(outcome->error().message, refusal);
    }
    QCOMPARE(settled, refusal.isEmpty() ? 2 : 1);
    QList<qint64> ids;
    for (Statement j = db.prepare(u"SELECT \"ID\" FROM sjlszb"_s); j.next();)
        ids.append(j.integer(0));
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, refusal.isEmpty() ? (QList<qint64>{1, 2, 3}) : (QList<qint64>{1, 2}));
    QCOMPARE(CardTable(db).byNumber(u"C1"_s)->balance, byCard ? 4.0 : 10.0);
    int inSession = 0; // of the three: those settled went to standby
    for (const Machine &m : MachineTable(db).all())
        inSession += m.inSession() ? 1 : 0;
    QCOMPARE(inSession, 2 - settled);
    Clock::release();
}

void RaceTest::twoCountersAtOneMachine_data()
{
    QTest::addColumn<bool>("ordering");
    // Both have seen the machine idle; the second must find it billing, not start it again.
    QTest::newRow("two starts") << false;
    // 2 and 3 of one article: one line of 5, the stock down by 5.
    QTest::newRow("two goods orders") << true;
}

void RaceTest::twoCountersAtOneMachine()
{
    QFETCH(bool, ordering);
    SKIP_WITHOUT_SERVER(true);
    Clock::fix(kNow);
    EngineStore s(true);
    const qint64 rowid = s.t->addMachine(1, 2, MachineStatus::Standby).rowid;
    s.t->addArticle(u"00000001"_s, u"可乐"_s, 3, 100);

    QString results[2];
    raceBehindLock(
        s.t->path(), [&](Database &db) { return db.lockRows(u"yxsjb"_s, {rowid}); },
        [&](Database &db, int counter) {
            if (ordering) {
                const Result<> booked = TestCommands(db).run([&]() -> Result<> {
                    if (!recordOrders(db, 1, {{u"00000001"_s, double(counter + 2)}}, kNow))
                        return failure(db.lastError());
                    return {};
                });
                results[counter] = booked ? u"ok"_s : booked.error();
                return;
            }
            MachineList list;
            const Result<> started = TestCommands(db).run([&](Effects &e) {
                return SessionStart::startTiming(BillingScope{db, list}, e, 1, SessionInput{}, false);
            });
            results[counter] = started ? u"ok"_s : started.error();
        });

    Database &db = s.t->db();
    if (ordering) {
        QCOMPARE(results[0], u"ok"_s);
        QCOMPARE(results[1], u"ok"_s);
        const QList<OrderLine> lines = OrderTable(db).linesOf(1);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.constFirst().quantity, 5.0);
        QCOMPARE(ArticleTable(db).byNumber(u"00000001"_s)->stock, 95.0);
    } else {
        QStringList outcomes{results[0], results[1]};
        outcomes.sort();
        QCOMPARE(outcomes, (QStringList{u"1号机已经在记费中！"_s, u"ok"_s}));
        QVERIFY(MachineTable(db).byRowid(rowid)->inSession());
    }
    Clock::release();
}

void RaceTest::oppositeOrdersNeverDeadlock()
{
    SKIP_WITHOUT_SERVER(true);
    EngineStore s(true);
    QList<OrderItem> items;
    for (const QString &a : {u"00000001"_s, u"00000002"_s, u"00000003"_s}) {
        s.t->addArticle(a, a, 1, 1000);
        items.append({a, 1});
    }
    s.t->addMachine(1);
    s.t->addMachine(2);

    // Machine 1 orders the articles forwards, machine 2 backwards, 200 times each, at once.
    constexpr int kRounds = 200;
    QString errors[2];
    std::latch ready(2);
    std::vector<std::thread> threads;
    for (int counter = 0; counter < 2; ++counter) {
        threads.emplace_back([&, counter] {
            Store store;
            const bool open = store.open(s.t->path(), &errors[counter]);
            QList<OrderItem> mine = items;
            if (counter == 1)
                std::reverse(mine.begin(), mine.end());
            ready.arrive_and_wait();
            // As at the desk: each order one action, run once more after a conflict.
            TestCommands commands(store.db());
            for (int round = 0; open && errors[counter].isEmpty() && round < kRounds; ++round) {
                const Result<> booked = commands.run([&]() -> Result<> {
                    if (!recordOrders(store.db(), counter + 1, mine, kNow))
                        return failure(store.db().lastError());
                    return {};
                });
                if (!booked)
                    errors[counter] = u"round %1: "_s.arg(round) + booked.error();
            }
            if (!open)
                errors[counter].prepend(u"cannot open: "_s);
        });
    }
    for (std::thread &t : threads)
        t.join();

    QCOMPARE(errors[0], QString());
    QCOMPARE(errors[1], QString());
    for (const OrderItem &item : items)
        QCOMPARE(ArticleTable(s.t->db()).byNumber(item.article)->stock, 1000.0 - 2 * kRounds);
    for (int machine = 1; machine <= 2; ++machine)
        for (const OrderLine &line : OrderTable(s.t->db()).linesOf(machine))
            QCOMPARE(line.quantity, double(kRounds));
}

QTEST_GUILESS_MAIN(RaceTest)
#include "race_test.moc"
