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
    void parallelCheckoutsNumberTheJournal();
    void oppositeOrdersNeverDeadlock();
};

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

struct Counter
{
    int position = 0; // the machine it settles
    bool byCard = false;
    std::optional<Checkout::Outcome> outcome;
};

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
    holding.reset();
    for (std::thread &t : threads)
        t.join();
    QVERIFY(bothWait);
}

QList<qint64> journalIds(Database &db)
{
    QList<qint64> ids;
    Statement s = db.prepare(u"SELECT \"ID\" FROM sjlszb ORDER BY rowid"_s);
    while (s.next())
        ids.append(s.integer(0));
    return ids;
}

} // namespace

void RaceTest::twoCountersSettle_data()
{
    QTest::addColumn<int>("secondPosition");
    QTest::addColumn<bool>("byCard");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("one machine settled at both counters") << 1 << false << u"该计算机已经结帐！"_s;
    // 6 yuan each from a card holding 10.
    QTest::newRow("one card paying twice")
        << 2 << true << u"储金卡金额不足，请确认后再结帐！\r\n当前卡金额：4"_s;
}

void RaceTest::twoCountersSettle()
{
    QFETCH(int, secondPosition);
    QFETCH(bool, byCard);
    QFETCH(QString, refusal);
    SKIP_WITHOUT_SERVER(true);
    Clock::fix(kNow);
    EngineStore s(true);
    s.t->setTariff(1, 1);
    for (int n = 1; n <= 2; ++n) {
        s.t->addMachine(n, 2, MachineStatus::Standby); // 180 minutes at 2 yuan: 6 yuan due
        s.t->startSession(n, kNow.addSecs(-180 * 60));
    }
    Card card;
    card.number = u"C1"_s;
    card.password = u"pw"_s;
    card.total = 100; // 2 yuan per hour: 6 yuan of machine time costs 6 on the card
    card.totalHours = 50;
    card.balance = 10;
    QVERIFY(CardTable(s.t->db()).add(card));

    // The journal held, as by a third checkout, until both counters wait for it.
    Store holder;
    QString error;
    QVERIFY2(holder.open(s.t->path(), &error), qPrintable(error));
    std::optional<Transaction> holding(std::in_place, holder.db());
    QVERIFY(holder.db().lockTable(u"sjlszb"_s));

    Counter counters[2] = {{1, byCard, {}}, {secondPosition, byCard, {}}};
    std::latch opened(2);
    std::vector<std::thread> threads;
    for (Counter &c : counters) {
        threads.emplace_back([&c, &opened, path = s.t->path()] {
            Store store;
            QString ignored;
            const bool connected = store.open(path, &ignored);
            MachineList list;
            Checkout checkout(BillingScope{store.db(), list}, u"小王"_s);
            const bool ready = connected && checkout.open(c.position);
            if (ready) {
                checkout.setReceivedText(u"6"_s);
                checkout.setUseCard(c.byCard);
                checkout.setCard(u"C1"_s, u"pw"_s);
            }
            opened.count_down();
            if (ready)
                c.outcome = checkout.settle();
        });
    }
    opened.wait();
    QVERIFY(QTest::qWaitFor([&] { return waiting(s.t->db()) == 2; }, 10000));
    holding.reset(); // nothing written: the counters go on
    for (std::thread &t : threads)
        t.join();

    int settled = 0;
    for (const Counter &c : counters) {
        QVERIFY(c.outcome);
        if (*c.outcome)
            ++settled;
        else
            QCOMPARE(c.outcome->error().message, refusal);
    }
    QCOMPARE(settled, 1);
    QCOMPARE(JournalTable(s.t->db()).nextId(), 2);
    QCOMPARE(CardTable(s.t->db()).byNumber(u"C1"_s)->balance, byCard ? 4.0 : 10.0);
    int inSession = 0; // of the two: the one settled went to standby
    for (const Machine &m : MachineTable(s.t->db()).all())
        inSession += m.inSession() ? 1 : 0;
    QCOMPARE(inSession, 1);
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
                results[counter] =
                    recordOrders(db, 1, {{u"00000001"_s, double(counter + 2)}}, kNow) ? u"ok"_s : db.lastError();
                return;
            }
            MachineList list;
            const Result<> started =
                SessionStart::startTiming(BillingScope{db, list}, 1, SessionInput{}, false);
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

void RaceTest::parallelCheckoutsNumberTheJournal()
{
    SKIP_WITHOUT_SERVER(true);
    Clock::fix(kNow);
    EngineStore s(true);
    s.t->setTariff(1, 1);
    for (int n = 1; n <= 3; ++n) {
        s.t->addMachine(n, 2, MachineStatus::Standby);
        s.t->startSession(n, kNow.addSecs(-60 * 60));
    }
    // One settled before: the two at once must take 2 and 3, neither the same number.
    {
        MachineList list;
        Checkout first(BillingScope{s.t->db(), list}, u"小王"_s);
        QVERIFY(first.open(3));
        QVERIFY(first.settle());
    }

    std::optional<Checkout::Outcome> outcomes[2];
    raceBehindLock(
        s.t->path(), [](Database &db) { return db.lockTable(u"sjlszb"_s); },
        [&](Database &db, int counter) {
            MachineList list;
            Checkout checkout(BillingScope{db, list}, u"小王"_s);
            if (checkout.open(counter + 1))
                outcomes[counter] = checkout.settle();
        });

    for (const auto &outcome : outcomes) {
        QVERIFY(outcome);
        QVERIFY2(*outcome, qPrintable(outcome->error().message));
    }
    QList<qint64> ids = journalIds(s.t->db());
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, (QList<qint64>{1, 2, 3}));
    Clock::release();
}

void RaceTest::oppositeOrdersNeverDeadlock()
{
    SKIP_WITHOUT_SERVER(true);
    EngineStore s(true);
    const QStringList articles{u"00000001"_s, u"00000002"_s, u"00000003"_s};
    for (const QString &a : articles)
        s.t->addArticle(a, a, 1, 1000);
    s.t->addMachine(1);
    s.t->addMachine(2);

    // Machine 1 orders the articles forwards, machine 2 backwards, 200 times each, at once.
    constexpr int kRounds = 200;
    int failed[2] = {0, 0};
    QString lastError[2];
    std::latch ready(2);
    std::vector<std::thread> threads;
    for (int counter = 0; counter < 2; ++counter) {
        threads.emplace_back([&, counter] {
            Store store;
            QString ignored;
            const bool open = store.open(s.t->path(), &ignored);
            QList<OrderItem> items;
            for (const QString &a : articles)
                items.append({a, 1});
            if (counter == 1)
                std::reverse(items.begin(), items.end());
            ready.arrive_and_wait();
            for (int round = 0; open && round < kRounds; ++round) {
                if (!recordOrders(store.db(), counter + 1, items, kNow)) {
                    ++failed[counter];
                    lastError[counter] = store.db().lastError();
                }
            }
            if (!open)
                failed[counter] = kRounds;
        });
    }
    for (std::thread &t : threads)
        t.join();

    QVERIFY2(failed[0] == 0, qPrintable(lastError[0]));
    QVERIFY2(failed[1] == 0, qPrintable(lastError[1]));
    for (const QString &a : articles)
        QCOMPARE(ArticleTable(s.t->db()).byNumber(a)->stock, 1000.0 - 2 * kRounds);
    for (int machine = 1; machine <= 2; ++machine)
        for (const OrderLine &line : OrderTable(s.t->db()).linesOf(machine))
            QCOMPARE(line.quantity, double(kRounds));
}

QTEST_GUILESS_MAIN(RaceTest)
#include "race_test.moc"
