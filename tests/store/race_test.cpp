#include "billing/checkout.h"
#include "billing/machinelist.h"
#include "common/clock.h"
#include "store/accounttables.h"
#include "store/database.h"
#include "store/journaltable.h"
#include "store/machinetable.h"
#include "support/testserver.h"

#include <QTest>
#include <latch>
#include <thread>

using namespace Qt::StringLiterals;

// Two counters on one server settling at the same moment, each on its own connection and
// thread. Both have read the machines before either writes; the journal lock makes them take
// turns, and the second must find what the first has done.
class RaceTest : public QObject
{
    Q_OBJECT

private slots:
    void twoCountersSettle_data();
    void twoCountersSettle();
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

QTEST_GUILESS_MAIN(RaceTest)
#include "race_test.moc"
