#include "accounts/cards.h"
#include "audit/trail.h"
#include "common/clock.h"
#include "goods/countersale.h"
#include "store/accounttables.h"
#include "store/machinetable.h"
#include "store/schema.h"
#include "store/shifttable.h"
#include "support/testdesk.h"

#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(15, 0));

// Two machines at 3 yuan an hour, 2 billing for an hour (3 due); an article at 3; a card at
// 2 yuan an hour; 小王 logged in with the trail on, and a shift open with 100 handed over.
struct Counter
{
    Counter()
    {
        t.store.setTariff(1, 1);
        t.store.addMachine(1, 3, MachineStatus::Standby, u"10.0.0.1"_s);
        t.store.addMachine(2, 3, MachineStatus::Standby, u"10.0.0.2"_s);
        t.store.startSession(2, kNow.addSecs(-3600));
        t.store.addArticle(u"00000001"_s, u"可乐"_s, 3);
        t.store.addCustomer(u"00000001"_s, u"张三"_s);
        CardTable(t.store.db()).add({0, u"C1"_s, 100, 50, u"pw"_s, {}, 0, 0, 100});
        t.open();
        t.desk.setOperator(u"小王"_s, u"A"_s);
        // Checked by the tests: a constructor cannot stop one.
        ShiftTable(t.db()).begin({}, u"小李"_s, kNow.addSecs(-7200));
        ShiftTable(t.db()).close(ShiftTable(t.db()).open({})->rowid, kNow.addSecs(-3600), 100, 100);
        t.desk.shifts().open();
    }
    Takings takings() { return t.desk.shifts().current()->takings; }
    // Settles machine 2 with `received` typed, by card or in cash.
    bool settle(const QString &received, bool byCard = false)
    {
        const std::unique_ptr<Checkout> c = t.desk.openCheckout(2);
        if (!c)
            return false;
        c->setReceivedText(received);
        c->setUseCard(byCard);
        c->setCard(u"C1"_s, u"pw"_s);
        return bool(t.desk.settle(*c, false));
    }

    TestDesk t;
};

using Action = std::function<bool(Counter &)>;

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Takings)

class ShiftTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    // What each action puts into the drawer, as the shift counts it.
    void everyActionCountsItsMoney_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<Takings>("taken");
        QTest::newRow("start with 5 prepaid")
            << Action([](Counter &c) { return bool(c.t.desk.startTiming(1, {{}, {}, {}, u"1"_s, {}, u"5"_s}, false)); })
            << Takings{5, 0, 0, 0};
        QTest::newRow("prepaid raised to 8 on a running session")
            << Action([](Counter &c) { return bool(c.t.desk.changeSession(2, {{}, {}, {}, u"2"_s, {}, u"8"_s})); })
            << Takings{8, 0, 0, 0};
        QTest::newRow("cash with change: 10 handed over for 3")
            << Action([](Counter &c) { return c.settle(u"10"_s); }) << Takings{3, 0, 0, 0};
        QTest::newRow("prepaid 10, 3 due: 7 handed back")
            << Action([](Counter &c) {
                   Machine m = c.t.machine(2);
                   m.prepaid = 10;
                   c.t.save(m);
                   return c.settle(u"-7"_s);
               })
            << Takings{-7, 0, 0, 0};
        // 3 yuan of machine time at the card's 2 yuan an hour: 2 off the card.
        QTest::newRow("by card") << Action([](Counter &c) { return c.settle(u"3"_s, true); }) << Takings{0, 2, 0, 0};
        QTest::newRow("card sold")
            << Action([](Counter &c) {
                   return bool(c.t.desk.commands().run({u"添加储金卡"_s}, [&](Effects &e) {
                       return cards::add(c.t.db(), e, {u"77"_s, u"200"_s, u"100"_s, u"pw"_s, u"00000001"_s});
                   }));
               })
            << Takings{0, 0, 200, 0};
        QTest::newRow("card topped up")
            << Action([](Counter &c) {
                   const qint64 card = CardTable(c.t.db()).byNumber(u"C1"_s)->rowid;
                   return bool(c.t.desk.commands().run(
                       {u"储金卡充值"_s}, [&](Effects &e) { return cards::topUp(c.t.db(), e, card, u"50"_s); }));
               })
            << Takings{0, 0, 50, 0};
        QTest::newRow("counter sale of 2")
            << Action([](Counter &c) {
                   return bool(c.t.desk.commands().run({u"零售"_s}, [&](Effects &e) {
                       return CounterSale::sell(c.t.db(), e, u"00000001"_s, 2, kNow);
                   }));
               })
            << Takings{0, 0, 0, 6};
    }
    void everyActionCountsItsMoney()
    {
        QFETCH(Action, action);
        QFETCH(Takings, taken);
        Counter c;
        QVERIFY(c.t.desk.hasTrail());
        QVERIFY(action(c));
        const Takings now = c.takings();
        QCOMPARE(now.sessionCash, taken.sessionCash);
        QCOMPARE(now.cardPaid, taken.cardPaid);
        QCOMPARE(now.cardSales, taken.cardSales);
        QCOMPARE(now.counterSales, taken.counterSales);
        // An action the store refuses counts nothing.
        Counter failing;
        failing.t.db().failCommitsAfter(0);
        QVERIFY(!action(failing));
        failing.t.db().failCommitsAfter(-1);
        QVERIFY(!failing.takings().any());
    }

    void handOverClosesTheShiftAndTheNextTakesTheFloat()
    {
        Counter c;
        QVERIFY(c.settle(u"3"_s));
        ShiftService shifts = c.t.desk.shifts();
        const Shift open = *shifts.current();
        QCOMPARE(open.operatorName, u"小王"_s);
        QCOMPARE(open.openingFloat, 100.0);
        QCOMPARE(open.expected(), 103.0);

        QCOMPARE(shifts.handOver(u"abc"_s, u"0"_s).error(), u"实点现金和备用金必须是不小于0的金额！"_s);
        QCOMPARE(shifts.handOver(u"50"_s, u"60"_s).error(), u"留给下一班的备用金不能多于实点现金！"_s);
        Clock::advanceSeconds(600);
        const Result<Shift> closed = shifts.handOver(u"101"_s, u"80"_s);
        QVERIFY(closed);
        QCOMPARE(closed->end, kNow.addSecs(600));
        QCOMPARE(closed->difference(), -2.0);
        QVERIFY(!shifts.current());
        const QList<audit::Entry> trail = audit::entries(c.t.db(), {}, {}, {}, 0, u"交班"_s);
        QCOMPARE(trail.size(), 1);
        QCOMPARE(trail.constFirst().details, u"应有现金103元 实点现金101元 差额-2元 留存备用金80元"_s);
        QCOMPARE(shifts.handOver(u"1"_s, u"0"_s).error(), u"当前没有上班记录，不能交班！"_s);

        c.t.desk.setOperator(u"小张"_s, u"A"_s);
        const Result<Shift> next = c.t.desk.shifts().open();
        QVERIFY(next);
        QCOMPARE(next->operatorName, u"小张"_s);
        QCOMPARE(next->openingFloat, 80.0);
        QCOMPARE(next->start, kNow.addSecs(600));
        QVERIFY(!next->takings.any());
        QCOMPARE(c.t.desk.shifts().past().size(), 2);
        QCOMPARE(c.t.desk.shifts().past().constFirst().counted, 101.0);
    }

    void anOlderStoreGainsTheShiftsOnOpening()
    {
        TestStore t;
        QVERIFY(t.db().exec(u"DROP TABLE jbjlb"_s));
        QVERIFY(t.db().setSchemaVersion(1));
        QVERIFY(schema::check(t.db()));
        t.store().close();
        QString error;
        QVERIFY2(t.store().open(t.path(), &error), qPrintable(error));
        QCOMPARE(t.db().schemaVersion(), 2);
        QVERIFY(t.db().tableNames().contains(u"jbjlb"_s));
    }
};

QTEST_GUILESS_MAIN(ShiftTest)
#include "shift_test.moc"
