#include "billing/checkout.h"
#include "common/clock.h"
#include "store/accounttables.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/journaltable.h"
#include "store/machinetable.h"
#include "support/testdesk.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

// A front desk on a fresh store: machine n is "n号机" at 192.168.0.n.
struct Fixture : TestDesk
{
    explicit Fixture(const QList<std::pair<double, int>> &ratesAndMinutes)
    {
        store.setTariff(1, 1);
        int n = 0;
        for (const auto &[rate, minutes] : ratesAndMinutes) {
            ++n;
            store.addMachine(n, rate, MachineStatus::Standby, u"192.168.0.%1"_s.arg(n));
            if (minutes >= 0)
                store.startSession(n, kNow.addSecs(-60 * minutes));
        }
        open();
        desk.setOperator(u"小王"_s, u"B"_s);
        desk.select(1);
    }

    // A checkout of the selected machine, opened.
    Checkout checkout()
    {
        Checkout c(desk.billing(), desk.operatorName());
        if (!c.open(desk.selected()))
            qFatal("no machine to check out");
        return c;
    }
    QString dump(const QString &table) { return tableRows(db(), table).join(u'\n'); }
    QStringList dumpAll() { return tableDump(db()); }
    int count(const QString &table)
    {
        Statement s = db().prepare(u"SELECT count(*) FROM "_s + table);
        return s.next() ? int(s.integer(0)) : -1;
    }
};

Card card(const QString &number, double balance, const QString &customer = QString())
{
    Card c;
    c.number = number;
    c.password = u"pw"_s;
    c.total = 100;
    c.totalHours = 50;
    c.balance = balance;
    c.customer = customer;
    return c;
}

// Machines that have run `minutes` at `rate`, settled in one checkout: the dialog offers to
// take `shown`, `received` is typed over it (empty: as shown), `later` minutes pass before
// the settlement. The journal gets `dues` and the `shares` of what was received, with the
// discount `granted` (-1: not looked at).
struct Settlement
{
    QList<double> rates, minutes, prepaid;
    QString discount, received, shown;
    int later;
    QList<double> dues, shares;
    double granted;
};

// One machine paid with card C1 of customer 李四 (20 yuan on it, 100 yuan for 50 hours: 2 per
// hour); what is left on the card, what its owner is credited and what the journal gets.
struct CardSettlement
{
    double rate;
    int minutes;
    double prepaid;
    QString discount, customer;
    double balance, usedHours;
    int sessions;
    double ownerSpent;
    int ownerVisits;
    double received;
};

// A settlement with card C1 that is refused: the machine's `rate`, the `password` typed, the
// card's figures; or a machine of the checkout that vanished before the settlement.
struct Refused
{
    enum class Vanish { None, Selected, Other, OtherSettled, OtherSettledElsewhere };
    double rate;
    QString password;
    double balance, totalHours, total;
    Vanish vanish;
    QString message;
};

} // namespace

Q_DECLARE_METATYPE(Refused)
Q_DECLARE_METATYPE(Settlement)
Q_DECLARE_METATYPE(CardSettlement)

class CheckoutTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    void discountRule_data()
    {
        QTest::addColumn<double>("discount");
        QTest::addColumn<double>("due");
        QTest::addColumn<double>("prepaid");
        QTest::addColumn<double>("received");
        QTest::newRow("90% of 20 less 4 prepaid") << 90.0 << 20.0 << 4.0 << 14.0;
        QTest::newRow("90% of 10.5 is 9.45, to the half yuan") << 90.0 << 10.5 << 0.0 << 9.5;
        QTest::newRow("no discount less prepaid") << 0.0 << 10.0 << 3.0 << 7.0;
        QTest::newRow("no discount, half to even") << 0.0 << 10.25 << 0.0 << 10.0;
        QTest::newRow("negative discount is none") << -5.0 << 8.0 << 0.0 << 8.0;
        // Below 0: prepaid money handed back.
        QTest::newRow("prepaid more than due") << 0.0 << 5.0 << 10.0 << -5.0;
        QTest::newRow("95% of 3 less 10 prepaid") << 95.0 << 3.0 << 10.0 << -7.0;
        QTest::newRow("prepaid just over the discounted due") << 90.0 << 10.0 << 9.5 << -0.5;
    }
    void discountRule()
    {
        QFETCH(double, discount);
        QFETCH(double, due);
        QFETCH(double, prepaid);
        QFETCH(double, received);
        QCOMPARE(receivedByDiscount(discount, due, prepaid), received);
    }

    void cardCharge_data()
    {
        QTest::addColumn<double>("received");
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("totalHours");
        QTest::addColumn<double>("total");
        QTest::addColumn<double>("charge"); // -1: cannot be formed
        // The card's own price is 100 yuan for its hours.
        QTest::newRow("9 yuan at 3 per hour on a 2-per-hour card") << 9.0 << 3.0 << 50.0 << 100.0 << 6.0;
        QTest::newRow("to the half yuan") << 5.0 << 3.0 << 50.0 << 100.0 << 3.5;
        QTest::newRow("nothing to take") << 0.0 << 3.0 << 50.0 << 100.0 << 0.0;
        QTest::newRow("no rate") << 9.0 << 0.0 << 50.0 << 100.0 << -1.0;
        QTest::newRow("no hours on the card") << 9.0 << 3.0 << 0.0 << 100.0 << -1.0;
        QTest::newRow("no money on the card's price") << 9.0 << 3.0 << 50.0 << 0.0 << -1.0;
    }
    void cardCharge()
    {
        QFETCH(double, received);
        QFETCH(double, rate);
        QFETCH(double, totalHours);
        QFETCH(double, total);
        QFETCH(double, charge);
        Card c = card(u"1"_s, 0);
        c.totalHours = totalHours;
        c.total = total;
        const std::optional<double> formed = ::cardCharge(received, c, rate);
        QCOMPARE(formed.has_value(), charge >= 0);
        if (formed)
            QCOMPARE(*formed, charge);
    }

    void sharesAndCombinedDue_data()
    {
        QTest::addColumn<double>("taken");
        QTest::addColumn<QList<double>>("dues");
        QTest::addColumn<QList<double>>("shares");
        QTest::newRow("by the dues") << 9.0 << QList<double>{6, 4} << QList<double>{5.4, 3.6};
        QTest::newRow("last takes the remainder")
            << 10.0 << QList<double>{1, 1, 1} << QList<double>{3.33, 3.33, 3.34};
        QTest::newRow("prepaid counted in") << 12.0 << QList<double>{11, 1} << QList<double>{11, 1};
        QTest::newRow("one machine takes all") << 5.0 << QList<double>{0} << QList<double>{5};
        QTest::newRow("nothing due") << 9.0 << QList<double>{0, 0} << QList<double>{0, 9};
    }
    void sharesAndCombinedDue()
    {
        QFETCH(double, taken);
        QFETCH(QList<double>, dues);
        QFETCH(QList<double>, shares);
        const QList<double> got = sharesOf(taken, dues);
        QCOMPARE(got, shares);
        double sum = 0;
        for (double x : got)
            sum += x;
        QCOMPARE(sum, taken);
    }

    void combinedDueAndGrantedDiscount()
    {
        QCOMPARE(combinedDue(12.25), 12.0);
        QCOMPARE(combinedDue(12.75), 13.0);
        QCOMPARE(combinedDue(12.3), 12.5);
        QCOMPARE(discountGranted(18, 20), 90.0);
        QCOMPARE(discountGranted(12, 12), 100.0);
        QCOMPARE(discountGranted(10, 3), 333.33);
        QCOMPARE(discountGranted(5, 0), 0.0);
    }

    void openingShowsTheSelectedMachine()
    {
        // 1: 95 minutes at 3 per hour (5), 2 idle, 3 and 4 running, 4 paused.
        Fixture f({{3, 95}, {3, -1}, {2, 60}, {2, 30}});
        Machine paused = f.machine(4);
        paused.status = MachineStatus::Paused;
        f.save(paused);
        Checkout c = f.checkout();
        QCOMPARE(c.caption(), u"1号机->要结帐？"_s);
        QCOMPARE(c.dueText(), u"5"_s);
        QCOMPARE(c.receivedText(), u"5"_s);
        QCOMPARE(c.prepaidText(), u"0"_s);
        QCOMPARE(c.others().size(), 2);
        QCOMPARE(c.others().at(0).name, u"3号机"_s);
        QCOMPARE(c.others().at(1).name, u"4号机"_s);
        QVERIFY(c.bill().text().startsWith(u"1号机上机详细状况"_s));
        QVERIFY(c.bill().text().endsWith(u"实 收 金 额 ：￥5.00元\r\n"_s));

        // What was prepaid is not asked again; the bill shows it.
        Machine first = f.machine(1);
        first.prepaid = 4;
        f.save(first);
        Checkout prepaid = f.checkout();
        QCOMPARE(prepaid.prepaidText(), u"4"_s);
        QCOMPARE(prepaid.receivedText(), u"1"_s);
        QVERIFY(prepaid.bill().text().endsWith(u"实 收 金 额 ：￥1.00元\r\n已 收 金 额 ：￥4.00元\r\n"_s));
        // A discount, or money typed, recomputes the bill's last line: 90% of 5, less 4.
        prepaid.setDiscountText(u"90"_s);
        QCOMPARE(prepaid.receivedText(), u"0.5"_s);
        QVERIFY(prepaid.bill().text().endsWith(u"实 收 金 额 ：￥0.50元\r\n已 收 金 额 ：￥4.00元\r\n"_s));
        prepaid.setReceivedText(u"13.5"_s);
        QVERIFY(prepaid.bill().text().endsWith(
            u"实 收 金 额 ：￥13.50元\r\n已 收 金 额 ：￥4.00元\r\n找 零 ：￥13.00元\r\n"_s));
        // Prepaid beyond the due: the rest goes back.
        first.prepaid = 7.5;
        f.save(first);
        QCOMPARE(f.checkout().receivedText(), u"-2.5"_s);
    }

    void otherMachinesJoinTheBill()
    {
        // Half-yuan rounding: the selected machine is due 5.5, the other 7.
        Fixture f({{3, 110}, {4.2, 100}});
        f.store.setTariff(1, 0.5);
        Checkout c = f.checkout();
        QCOMPARE(c.dueText(), u"5.5"_s);
        c.setSelectedOthers({0});
        QCOMPARE(c.dueText(), u"12.5"_s);
        QCOMPARE(c.receivedText(), u"12.5"_s);
        const QString text = c.bill().text();
        const qsizetype second = text.indexOf(u"2号机上机详细状况"_s);
        QVERIFY(second > 0);
        QVERIFY(text.mid(0, second).endsWith(QString(19, QChar(0x2501)) + u"\r\n"_s));
        QCOMPARE(text.count(u"实 收 金 额"_s), 1);
        QVERIFY(text.endsWith(u"实 收 金 额 ：￥12.50元\r\n"_s));

        c.setSelectedOthers({});
        QCOMPARE(c.dueText(), u"5.5"_s);
        QVERIFY(!c.bill().text().contains(u"2号机"_s));
    }

    void settlementSharesWhatWasTaken_data()
    {
        QTest::addColumn<Settlement>("s");
        using L = QList<double>;
        QTest::newRow("two machines share what was received")
            << Settlement{{6, 4}, {60, 60}, {0, 0}, {}, u"9"_s, u"10"_s, 0, {6, 4}, {5.4, 3.6}, 90};
        QTest::newRow("prepaid on the first counted once")
            << Settlement{{11, 1}, {60, 60}, {5, 0}, {}, {}, u"7"_s, 0, {11, 1}, {11, 1}, 100};
        QTest::newRow("prepaid on every machine counted once")
            << Settlement{{6, 4}, {60, 60}, {2, 2}, u"80"_s, {}, u"4"_s, 0, {6, 4}, {4.8, 3.2}, 80};
        QTest::newRow("discounted and prepaid: all money taken")
            << Settlement{L{12}, L{100}, L{4}, u"90"_s, {}, u"14"_s, 0, L{20}, L{18}, 90};
        // What is handed back, out of the prepaid money or as change, is not kept.
        QTest::newRow("prepaid beyond the discounted due")
            << Settlement{L{3}, L{60}, L{10}, u"95"_s, {}, u"-7"_s, 0, L{3}, L{3}, 100};
        QTest::newRow("prepaid beyond the due")
            << Settlement{L{2}, L{60}, L{5}, {}, {}, u"-3"_s, 0, L{2}, L{2}, 100};
        QTest::newRow("cash beyond the due: change")
            << Settlement{L{6}, L{60}, L{1}, {}, u"50"_s, u"5"_s, 0, L{6}, L{6}, 100};
        // Only what was taken may be written as received, though more is due by now.
        QTest::newRow("stale figures, one machine")
            << Settlement{L{3}, L{95}, L{0}, {}, {}, u"5"_s, 25, L{6}, L{5}, -1};
        QTest::newRow("stale figures, shares still add up")
            << Settlement{{6, 4}, {60, 60}, {0, 0}, {}, u"10"_s, u"10"_s, 10, {7, 5}, {5.83, 4.17}, -1};
    }
    void settlementSharesWhatWasTaken()
    {
        QFETCH(Settlement, s);
        const auto &[rates, minutes, prepaid, discount, received, shown, later, dues, shares, granted] = s;
        QList<std::pair<double, int>> machines;
        for (qsizetype i = 0; i < rates.size(); ++i)
            machines.append({rates.at(i), int(minutes.at(i))});
        Fixture f(machines);
        double allPrepaid = 0;
        for (qsizetype i = 0; i < prepaid.size(); ++i) {
            Machine m = f.machine(int(i + 1));
            m.prepaid = prepaid.at(i);
            f.save(m);
            allPrepaid += prepaid.at(i);
        }
        Checkout c = f.checkout();
        if (rates.size() > 1)
            c.setSelectedOthers({0});
        QCOMPARE(c.prepaidText(), QString::number(allPrepaid));
        if (!discount.isEmpty())
            c.setDiscountText(discount);
        QCOMPARE(c.receivedText(), shown);
        if (!received.isEmpty())
            c.setReceivedText(received);
        Clock::advanceSeconds(later * 60);
        QVERIFY(f.desk.settle(c, false));

        const QList<JournalEntry> rows = JournalTable(f.db()).endedBetween(kNow, kNow.addDays(1));
        QCOMPARE(rows.size(), rates.size());
        QStringList stops;
        for (int i = 0; i < rows.size(); ++i) {
            const JournalEntry &row = rows.at(i);
            QCOMPARE(row.id, qint64(i + 1));
            QCOMPARE(row.machine, i + 1);
            QCOMPARE(row.start, kNow.addSecs(qint64(-60 * minutes.at(i))));
            QCOMPARE(row.end, Clock::now());
            QCOMPARE(row.mode, u"N"_s);
            QCOMPARE(row.cashier, u"小王"_s);
            QCOMPARE(row.due, dues.at(i));
            QCOMPARE(row.received, shares.at(i));
            if (granted >= 0)
                QCOMPARE(row.discount, granted); // one checkout, one discount
            // The machine is idle again, and so is its entry.
            const Machine m = f.machine(i + 1);
            QCOMPARE(m.status, MachineStatus::Standby);
            QVERIFY(!m.start.isValid());
            QCOMPARE(m.prepaid, 0.0);
            QCOMPARE(m.mode, QString());
            QCOMPARE(f.desk.machineList().at(i + 1)->columns.mid(1), QStringList(8));
            stops << u"192.168.0.%1 stop"_s.arg(i + 1);
        }
        QCOMPARE(f.link.sent, stops);
        QCOMPARE(f.desk.selected(), int(rates.size())); // the last machine settled
    }

    void goodsMoveToTheSalesJournal()
    {
        Fixture f({{3, 60}, {3, 60}});
        f.store.addArticle(u"01"_s, u"可乐"_s, 2.5);
        f.store.addArticle(u"02"_s, u"面包"_s, 3);
        OrderTable orders(f.db());
        orders.add({0, 1, u"01"_s, 2, kNow.addSecs(-600)});
        orders.add({0, 2, u"01"_s, 1, kNow.addSecs(-500)});
        orders.add({0, 1, u"02"_s, 1, kNow.addSecs(-400)});
        orders.add({0, 1, u"99"_s, 4, kNow.addSecs(-300)}); // not in the catalogue
        // An earlier session already in the journal.
        JournalTable(f.db()).add({1, 2, kNow.addDays(-1), kNow.addDays(-1), u"N"_s, 5, 5, 0, QString(),
                                  QString(), QString(), QString()});

        Checkout c = f.checkout();
        QCOMPARE(c.dueText(), u"11"_s); // 3 + 5 + 3
        QVERIFY(f.desk.settle(c, false));

        QCOMPARE(f.dump(u"khspb"_s), QStringLiteral("2|1|01|2.0|2024-05-01 11:50:00\n"
                                                    "2|1|02|1.0|2024-05-01 11:53:20\n"
                                                    "2|1|99|4.0|2024-05-01 11:55:00"));
        QCOMPARE(orders.linesOf(1).size(), 0);
        QCOMPARE(orders.linesOf(2).size(), 1);
        QCOMPARE(f.count(u"sjlszb"_s), 2);
    }

    void machinesSettledTogetherEachTakeTheirGoods()
    {
        Fixture f({{3, 60}, {3, 60}, {3, 60}});
        f.store.addArticle(u"01"_s, u"可乐"_s, 2.5);
        f.store.addArticle(u"01"_s, u"可乐（旧）"_s, 9); // only the first of a number prices
        OrderTable orders(f.db());
        orders.add({0, 2, u"01"_s, 1, kNow.addSecs(-500)});
        orders.add({0, 3, u"01"_s, 3, kNow.addSecs(-450)});
        orders.add({0, 1, u"01"_s, 2, kNow.addSecs(-400)});

        Checkout c = f.checkout();
        QCOMPARE(c.dueText(), u"8"_s);  // 3 + 2 × 2.5
        c.setSelectedOthers({1});       // machine 3
        QCOMPARE(c.dueText(), u"18"_s); // 8 + (3 + 7.5 to the even yuan)
        QVERIFY(c.bill().text().contains(u"    可乐：2.50元*3=7.50元"_s));
        QVERIFY(f.desk.settle(c, false));

        // The selected machine's row first, each row with its own goods; machine 2 keeps its line.
        QCOMPARE(f.dump(u"sjlszb"_s).split(u'\n').size(), 2);
        QCOMPARE(JournalTable(f.db()).endedBetween(kNow, kNow).at(1).machine, 3);
        QCOMPARE(f.dump(u"khspb"_s), QStringLiteral("1|1|01|2.0|2024-05-01 11:53:20\n"
                                                    "2|3|01|3.0|2024-05-01 11:52:30"));
        QCOMPARE(orders.linesOf(1).size(), 0);
        QCOMPARE(orders.linesOf(2).size(), 1);
        QCOMPARE(orders.linesOf(3).size(), 0);
    }

    void customersAreCredited()
    {
        Fixture f({{3, 60}, {3, 60}});
        f.store.addCustomer(u"00000001"_s, u"王五"_s);
        f.store.addCustomer(u"00000002"_s, QString());
        Machine named = f.machine(1);
        named.customer = u"王五"_s;
        named.idKind = u"身份证"_s;
        named.idNumber = u"110101"_s;
        named.due = kNow.addSecs(600);
        named.pauseStart = kNow.addSecs(-600); // no pause minutes: nothing deducted
        f.save(named);

        Checkout c = f.checkout();
        c.setSelectedOthers({0}); // machine 2 is a walk-in
        c.setReceivedText(u"5"_s);
        QVERIFY(f.desk.settle(c, false));

        const JournalEntry entry = JournalTable(f.db()).endedBetween(kNow, kNow).at(0);
        QCOMPARE(entry.end, kNow);
        QCOMPARE(entry.mode, u"N"_s);
        QCOMPARE(entry.customer, u"王五"_s);
        QCOMPARE(entry.idKind, u"身份证"_s);
        QCOMPARE(entry.idNumber, u"110101"_s);
        // The row is idle again in every session field.
        QCOMPARE(f.dump(u"yxsjb"_s).section(u'\n', 0, 0),
                 u"1|1号机|192.168.0.1|3.0|S|<null>|<null>|<null>|0.0|0.0||||"_s);

        const QList<Customer> all = CustomerTable(f.db()).all();
        QCOMPARE(all.at(0).spent, 2.5);
        QCOMPARE(all.at(0).visits, 1);
        QCOMPARE(all.at(0).lastVisit, kNow);
        // A session without a customer name credits nobody.
        QCOMPARE(all.at(1).spent, 0.0);
        QCOMPARE(all.at(1).visits, 0);
        QVERIFY(!all.at(1).lastVisit.isValid());
    }

    void cardPaysAtItsOwnPrice_data()
    {
        QTest::addColumn<CardSettlement>("s");
        QTest::newRow("9 yuan due, 6 off the card, 6 for its owner")
            << CardSettlement{3, 180, 0, {}, {}, 14, 3, 1, 6, 1, 9};
        QTest::newRow("the owner's own session credited once")
            << CardSettlement{3, 180, 0, {}, u"李四"_s, 14, 3, 1, 9, 1, 9};
        // Due 10, 12 prepaid, 90%: 3 is handed back in cash and the card pays nothing; the use
        // still counts for the card and its owner.
        QTest::newRow("a card is never credited")
            << CardSettlement{10, 60, 12, u"90"_s, {}, 20, 0, 1, 0, 1, 9};
    }
    void cardPaysAtItsOwnPrice()
    {
        QFETCH(CardSettlement, s);
        const auto &[rate, minutes, prepaid, discount, customer, balance, usedHours, sessions, ownerSpent,
                     ownerVisits, received] = s;
        Fixture f({{rate, minutes}});
        CardTable(f.db()).add(card(u"C1"_s, 20, u"00000007"_s));
        f.store.addCustomer(u"00000007"_s, u"李四"_s);
        Machine m = f.machine(1);
        m.prepaid = prepaid;
        m.customer = customer;
        f.save(m);
        Checkout c = f.checkout();
        c.setDiscountText(discount);
        c.setUseCard(true);
        c.setCard(u"C1"_s, u"pw"_s);
        QVERIFY(f.desk.settle(c, false));
        QVERIFY(!c.usesCard());
        QCOMPARE(c.cardNumber(), QString());

        const Card after = *CardTable(f.db()).byNumber(u"C1"_s);
        QCOMPARE(after.balance, balance);
        QCOMPARE(after.usedHours, usedHours);
        QCOMPARE(after.sessions, sessions);
        const Customer owner = CustomerTable(f.db()).all().at(0);
        QCOMPARE(owner.spent, ownerSpent);
        QCOMPARE(owner.visits, ownerVisits);
        QCOMPARE(owner.lastVisit, ownerVisits ? kNow : QDateTime());
        QCOMPARE(JournalTable(f.db()).endedBetween(kNow, kNow).at(0).received, received);
    }

    void refusedSettlementChangesNothing_data()
    {
        QTest::addColumn<Refused>("r");
        const QString noPrice = u"该机器或储金卡没有记费标准，不能用储金卡结帐！"_s;
        const QString gone = u"已经不在记费中，不能结帐！"_s;
        using V = Refused::Vanish;
        QTest::newRow("wrong password")
            << Refused{3, u"nope"_s, 20, 50, 100, V::None, u"储金卡卡号或密码错误,请确认后再次结帐！"_s};
        QTest::newRow("5 left, 6 asked") << Refused{
            3, u"pw"_s, 5, 50, 100, V::None, u"储金卡金额不足，请确认后再结帐！\r\n当前卡金额：5"_s};
        QTest::newRow("machine without rate") << Refused{0, u"pw"_s, 20, 50, 100, V::None, noPrice};
        QTest::newRow("card without hours") << Refused{3, u"pw"_s, 20, 0, 100, V::None, noPrice};
        QTest::newRow("card without price") << Refused{3, u"pw"_s, 20, 50, 0, V::None, noPrice};
        QTest::newRow("selected machine removed")
            << Refused{3, u"pw"_s, 20, 50, 100, V::Selected, u"1号机"_s + gone};
        QTest::newRow("machine paid together removed")
            << Refused{3, u"pw"_s, 20, 50, 100, V::Other, u"2号机"_s + gone};
        QTest::newRow("machine paid together settled meanwhile")
            << Refused{3, u"pw"_s, 20, 50, 100, V::OtherSettled, u"2号机"_s + gone};
        QTest::newRow("machine paid together settled at another checkout")
            << Refused{3, u"pw"_s, 20, 50, 100, V::OtherSettledElsewhere, u"该计算机已经结帐！"_s};
    }
    void refusedSettlementChangesNothing()
    {
        QFETCH(Refused, r);
        // Machine 1 (and 2 with it, where one of them vanishes) ran three hours: 9 yuan at 3.
        QList<std::pair<double, int>> machines{{r.rate, 180}};
        if (r.vanish != Refused::Vanish::None)
            machines.append({r.rate, 60});
        Fixture f(machines);
        Card c1 = card(u"C1"_s, r.balance);
        c1.totalHours = r.totalHours;
        c1.total = r.total;
        CardTable(f.db()).add(c1);
        Checkout c = f.checkout();
        if (machines.size() > 1)
            c.setSelectedOthers({0});
        c.setUseCard(true);
        c.setCard(u"C1"_s, r.password);
        if (r.vanish == Refused::Vanish::OtherSettledElsewhere) {
            Checkout elsewhere(f.desk.billing(), u"小李"_s);
            QVERIFY(elsewhere.open(2));
            QVERIFY(f.desk.settle(elsewhere, false));
            f.link.sent.clear();
        } else if (r.vanish != Refused::Vanish::None) {
            const Machine gone = f.machine(r.vanish == Refused::Vanish::Selected ? 1 : 2);
            if (r.vanish == Refused::Vanish::OtherSettled)
                QVERIFY(f.db().exec(uR"(UPDATE yxsjb SET "状态"='S', "开始时间"=NULL WHERE rowid=)"_s +
                                    QString::number(gone.rowid)));
            else
                QVERIFY(MachineTable(f.db()).remove(gone.rowid));
        }
        const QStringList before = f.dumpAll();
        const Checkout::Outcome outcome = f.desk.settle(c, true);
        QVERIFY(!outcome);
        QCOMPARE(outcome.error().message, r.message);
        QCOMPARE(f.dumpAll(), before);
        QVERIFY(f.link.sent.isEmpty());
        // The operator can correct the card and try again.
        QVERIFY(c.usesCard());
        QCOMPARE(c.cardNumber(), u"C1"_s);
    }

    void settleAndShutdownStopsTheLastMachine()
    {
        Fixture f({{6, 60}, {4, 60}});
        Checkout c = f.checkout();
        c.setSelectedOthers({0});
        QVERIFY(f.desk.settle(c, true));
        QCOMPARE(f.link.sent, QStringList({u"192.168.0.1 stop"_s, u"192.168.0.2 stop"_s,
                                           u"192.168.0.2 shutdown (every)"_s}));
        // Settled once: a second press writes nothing more.
        QCOMPARE(f.desk.settle(c, false).error().kind, Checkout::Refusal::Kind::NoMachine);
        QCOMPARE(f.count(u"sjlszb"_s), 2);
    }

    void failedStoreWritesNothing()
    {
        // Fail after each number of writes in turn; every failing checkout leaves all tables
        // as they were and tells no client anything.
        int failures = 0;
        for (int writes = 0; writes < 40; ++writes) {
            Fixture f({{3, 180}, {3, 60}});
            f.store.addArticle(u"01"_s, u"可乐"_s, 2.5);
            OrderTable(f.db()).add({0, 1, u"01"_s, 2, kNow.addSecs(-600)});
            OrderTable(f.db()).add({0, 2, u"01"_s, 1, kNow.addSecs(-600)});
            CardTable(f.db()).add(card(u"C1"_s, 50, u"00000001"_s));
            f.store.addCustomer(u"00000001"_s, u"王五"_s);
            Machine named = f.machine(1);
            named.customer = u"王五"_s;
            f.save(named);
            f.desk.refresh();
            const QStringList before = f.dumpAll();

            Checkout c = f.checkout();
            c.setSelectedOthers({0});
            c.setUseCard(true);
            c.setCard(u"C1"_s, u"pw"_s);
            const QString received = c.receivedText();
            f.db().failWritesAfter(writes);
            const Checkout::Outcome r = f.desk.settle(c, true);
            f.db().failWritesAfter(-1);
            if (r) {
                QVERIFY2(failures > 0, "the checkout never failed");
                QCOMPARE(f.count(u"sjlszb"_s), 2);
                return;
            }
            ++failures;
            QCOMPARE(r.error().kind, Checkout::Refusal::Kind::StoreFailed);
            QVERIFY(r.error().message.startsWith(u"结帐失败"_s));
            QCOMPARE(f.dumpAll(), before);
            QVERIFY(f.link.sent.isEmpty());
            QCOMPARE(f.desk.machineList().at(1)->columns.at(7), u"14.00元"_s);
            // The dialog's figures are as the operator left them.
            QVERIFY(c.usesCard());
            QCOMPARE(c.receivedText(), received);
            QCOMPARE(c.discountText(), QString());
        }
        QFAIL("the checkout never went through");
    }
};

QTEST_MAIN(CheckoutTest)
#include "checkout_test.moc"
