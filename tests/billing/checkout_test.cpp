#include "billing/checkout.h"
#include "common/clock.h"
#include "store/accounttables.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/journaltable.h"
#include "store/machinetable.h"
#include "support/testdesk.h"

#include <QTest>

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
            store.addMachine(n, rate, MachineStatus::Standby, QStringLiteral("192.168.0.%1").arg(n));
            if (minutes >= 0)
                store.startSession(n, kNow.addSecs(-60 * minutes));
        }
        open();
        desk.setOperator(QStringLiteral("小王"), QStringLiteral("B"));
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
        Statement s = db().prepare(QStringLiteral("SELECT count(*) FROM ") + table);
        return s.next() ? int(s.integer(0)) : -1;
    }
};

Card card(const QString &number, double balance, const QString &customer = QString())
{
    Card c;
    c.number = number;
    c.password = QStringLiteral("pw");
    c.total = 100;
    c.totalHours = 50;
    c.balance = balance;
    c.customer = customer;
    return c;
}

} // namespace

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
        // Nothing is handed back: a card would be credited with it.
        QTest::newRow("prepaid more than due") << 0.0 << 5.0 << 10.0 << 0.0;
        QTest::newRow("prepaid more than the discounted due") << 90.0 << 10.0 << 9.5 << 0.0;
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
        Card c = card(QStringLiteral("1"), 0);
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
        QCOMPARE(c.caption(), QStringLiteral("1号机->要结帐？"));
        QCOMPARE(c.dueText(), QStringLiteral("5"));
        QCOMPARE(c.receivedText(), QStringLiteral("5"));
        QCOMPARE(c.prepaidText(), QStringLiteral("0"));
        QCOMPARE(c.others().size(), 2);
        QCOMPARE(c.others().at(0).name, QStringLiteral("3号机"));
        QCOMPARE(c.others().at(1).name, QStringLiteral("4号机"));
        QVERIFY(c.bill().text().startsWith(QStringLiteral("1号机上机详细状况")));
        QVERIFY(c.bill().text().endsWith(QStringLiteral("实 收 金 额 ：￥5.00元\r\n")));

        // What was prepaid is not asked again, and more than is due is not handed back.
        Machine first = f.machine(1);
        first.prepaid = 4;
        f.save(first);
        Checkout prepaid = f.checkout();
        QCOMPARE(prepaid.prepaidText(), QStringLiteral("4"));
        QCOMPARE(prepaid.receivedText(), QStringLiteral("1"));
        QVERIFY(prepaid.bill().text().endsWith(QStringLiteral("实 收 金 额 ：￥1.00元\r\n")));
        first.prepaid = 7.5;
        f.save(first);
        QCOMPARE(f.checkout().receivedText(), QStringLiteral("0"));
    }

    void discountRecomputesReceivedAndBill()
    {
        Fixture f({{12, 100}}); // 20 yuan
        Machine m = f.machine(1);
        m.prepaid = 4;
        f.save(m);
        Checkout c = f.checkout();
        c.setDiscountText(QStringLiteral("90"));
        QCOMPARE(c.receivedText(), QStringLiteral("14"));
        QVERIFY(c.bill().text().endsWith(QStringLiteral("实 收 金 额 ：￥14.00元\r\n")));
        c.setReceivedText(QStringLiteral("13.5"));
        QVERIFY(c.bill().text().endsWith(QStringLiteral("实 收 金 额 ：￥13.50元\r\n")));
    }

    void otherMachinesJoinTheBill()
    {
        // Half-yuan rounding: the selected machine is due 5.5, the other 7.
        Fixture f({{3, 110}, {4.2, 100}});
        f.store.setTariff(1, 0.5);
        Checkout c = f.checkout();
        QCOMPARE(c.dueText(), QStringLiteral("5.5"));
        c.setSelectedOthers({0});
        QCOMPARE(c.dueText(), QStringLiteral("12.5"));
        QCOMPARE(c.receivedText(), QStringLiteral("12.5"));
        const QString text = c.bill().text();
        const qsizetype second = text.indexOf(QStringLiteral("2号机上机详细状况"));
        QVERIFY(second > 0);
        QVERIFY(text.mid(0, second).endsWith(QString(19, QChar(0x2501)) + QStringLiteral("\r\n")));
        QCOMPARE(text.count(QStringLiteral("实 收 金 额")), 1);
        QVERIFY(text.endsWith(QStringLiteral("实 收 金 额 ：￥12.50元\r\n")));

        c.setSelectedOthers({});
        QCOMPARE(c.dueText(), QStringLiteral("5.5"));
        QVERIFY(!c.bill().text().contains(QStringLiteral("2号机")));
    }

    void twoMachinesShareWhatWasReceived()
    {
        Fixture f({{6, 60}, {4, 60}}); // due 6 and 4
        Checkout c = f.checkout();
        c.setSelectedOthers({0});
        QCOMPARE(c.dueText(), QStringLiteral("10"));
        c.setReceivedText(QStringLiteral("9"));
        QVERIFY(f.desk.settle(c, false));

        const QList<JournalEntry> rows = JournalTable(f.db()).endedBetween(kNow, kNow);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).id, qint64(1));
        QCOMPARE(rows.at(0).machine, 1);
        QCOMPARE(rows.at(0).due, 6.0);
        QCOMPARE(rows.at(0).received, 5.4);
        QCOMPARE(rows.at(0).discount, 90.0); // one checkout, one discount
        QCOMPARE(rows.at(0).cashier, QStringLiteral("小王"));
        QCOMPARE(rows.at(0).start, kNow.addSecs(-3600));
        QCOMPARE(rows.at(1).id, qint64(2));
        QCOMPARE(rows.at(1).machine, 2);
        QCOMPARE(rows.at(1).due, 4.0);
        QCOMPARE(rows.at(1).received, 3.6);
        QCOMPARE(rows.at(1).discount, 90.0);

        for (int n : {1, 2}) {
            const Machine m = f.machine(n);
            QCOMPARE(m.status, MachineStatus::Standby);
            QVERIFY(!m.start.isValid());
            QCOMPARE(m.prepaid, 0.0);
            QCOMPARE(m.mode, QString());
            QCOMPARE(f.desk.machineList().at(n)->columns.mid(1), QStringList(8));
        }
        QCOMPARE(f.link.sent,
                 QStringList({QStringLiteral("192.168.0.1 stop"), QStringLiteral("192.168.0.2 stop")}));
        QCOMPARE(f.desk.selected(), 2); // the last machine settled
    }

    void prepaidMoneyIsCountedOnce()
    {
        // Due 11 and 1, 5 prepaid on the first: 7 still to take, 12 taken in all.
        Fixture f({{11, 60}, {1, 60}});
        Machine first = f.machine(1);
        first.prepaid = 5;
        f.save(first);
        Checkout c = f.checkout();
        QCOMPARE(c.receivedText(), QStringLiteral("6"));
        c.setSelectedOthers({0});
        QCOMPARE(c.dueText(), QStringLiteral("12"));
        QCOMPARE(c.receivedText(), QStringLiteral("7"));
        QVERIFY(f.desk.settle(c, false));
        QCOMPARE(f.dump(QStringLiteral("sjlszb")),
                 QStringLiteral("1|1|2024-05-01 11:00:00|2024-05-01 12:00:00|N|11.0|11.0|100.0|小王|||\n"
                                "2|2|2024-05-01 11:00:00|2024-05-01 12:00:00|N|1.0|1.0|100.0|小王|||"));
    }

    void prepaidOfEveryMachineIsCountedOnce()
    {
        // Prepaid on both machines: all of it is taken off what is still to take.
        Fixture f({{6, 60}, {4, 60}});
        for (int n : {1, 2}) {
            Machine m = f.machine(n);
            m.prepaid = 2;
            f.save(m);
        }
        Checkout c = f.checkout();
        c.setSelectedOthers({0});
        QCOMPARE(c.prepaidText(), QStringLiteral("4"));
        QCOMPARE(c.receivedText(), QStringLiteral("6"));
        c.setDiscountText(QStringLiteral("80")); // 8 in all
        QCOMPARE(c.receivedText(), QStringLiteral("4"));
        QVERIFY(f.desk.settle(c, false));
        const QList<JournalEntry> rows = JournalTable(f.db()).endedBetween(kNow, kNow);
        QCOMPARE(rows.at(0).received, 4.8);
        QCOMPARE(rows.at(1).received, 3.2);
        QCOMPARE(rows.at(0).discount, 80.0);
        QCOMPARE(rows.at(1).discount, 80.0);
    }

    void discountedPrepaidCheckoutRecordsAllMoneyTaken()
    {
        Fixture f({{12, 100}}); // 20 yuan
        Machine m = f.machine(1);
        m.prepaid = 4;
        f.save(m);
        Checkout c = f.checkout();
        c.setDiscountText(QStringLiteral("90"));
        QCOMPARE(c.receivedText(), QStringLiteral("14"));
        QVERIFY(f.desk.settle(c, false));
        const JournalEntry entry = JournalTable(f.db()).endedBetween(kNow, kNow).at(0);
        QCOMPARE(entry.received, 18.0);
        QCOMPARE(entry.discount, 90.0);
    }

    void staleFiguresStillShareWhatWasReceived()
    {
        // The dialog showed 5 (95 minutes at 3 per hour); settled 25 minutes later the machine
        // is due 6, yet only the 5 taken may be written as received.
        Fixture f({{3, 95}});
        Checkout single = f.checkout();
        Clock::advanceSeconds(25 * 60);
        QVERIFY(f.desk.settle(single, false));
        const JournalEntry entry = JournalTable(f.db()).endedBetween(kNow, kNow.addDays(1)).at(0);
        QCOMPARE(entry.due, 6.0);
        QCOMPARE(entry.received, 5.0);

        // Several machines: the shares still add up to what was received.
        Fixture two({{6, 60}, {4, 60}}); // due 6 and 4 when shown
        Clock::fix(kNow);
        Checkout c = two.checkout();
        c.setSelectedOthers({0});
        c.setReceivedText(QStringLiteral("10"));
        Clock::advanceSeconds(10 * 60); // now due 7 and 5
        QVERIFY(two.desk.settle(c, false));
        const QList<JournalEntry> rows = JournalTable(two.db()).endedBetween(kNow, kNow.addDays(1));
        QCOMPARE(rows.at(0).received, 5.83);
        QCOMPARE(rows.at(1).received, 4.17);
    }

    void goodsMoveToTheSalesJournal()
    {
        Fixture f({{3, 60}, {3, 60}});
        f.store.addArticle(QStringLiteral("01"), QStringLiteral("可乐"), 2.5);
        f.store.addArticle(QStringLiteral("02"), QStringLiteral("面包"), 3);
        OrderTable orders(f.db());
        orders.add({0, 1, QStringLiteral("01"), 2, kNow.addSecs(-600)});
        orders.add({0, 2, QStringLiteral("01"), 1, kNow.addSecs(-500)});
        orders.add({0, 1, QStringLiteral("02"), 1, kNow.addSecs(-400)});
        orders.add({0, 1, QStringLiteral("99"), 4, kNow.addSecs(-300)}); // not in the catalogue
        // An earlier session already in the journal.
        JournalTable(f.db()).add({1, 2, kNow.addDays(-1), kNow.addDays(-1), QStringLiteral("N"), 5, 5, 0,
                                  QString(), QString(), QString(), QString()});

        Checkout c = f.checkout();
        QCOMPARE(c.dueText(), QStringLiteral("11")); // 3 + 5 + 3
        QVERIFY(f.desk.settle(c, false));

        QCOMPARE(f.dump(QStringLiteral("khspb")), QStringLiteral("2|1|01|2.0|2024-05-01 11:50:00\n"
                                                                 "2|1|02|1.0|2024-05-01 11:53:20\n"
                                                                 "2|1|99|4.0|2024-05-01 11:55:00"));
        QCOMPARE(orders.linesOf(1).size(), 0);
        QCOMPARE(orders.linesOf(2).size(), 1);
        QCOMPARE(f.count(QStringLiteral("sjlszb")), 2);
    }

    void customersAreCredited()
    {
        Fixture f({{3, 60}, {3, 60}});
        f.store.addCustomer(QStringLiteral("00000001"), QStringLiteral("王五"));
        f.store.addCustomer(QStringLiteral("00000002"), QString());
        Machine named = f.machine(1);
        named.customer = QStringLiteral("王五");
        named.idKind = QStringLiteral("身份证");
        named.idNumber = QStringLiteral("110101");
        named.due = kNow.addSecs(600);
        named.pauseStart = kNow.addSecs(-600); // no pause minutes: nothing deducted
        f.save(named);

        Checkout c = f.checkout();
        c.setSelectedOthers({0}); // machine 2 is a walk-in
        c.setReceivedText(QStringLiteral("5"));
        QVERIFY(f.desk.settle(c, false));

        const JournalEntry entry = JournalTable(f.db()).endedBetween(kNow, kNow).at(0);
        QCOMPARE(entry.end, kNow);
        QCOMPARE(entry.mode, QStringLiteral("N"));
        QCOMPARE(entry.customer, QStringLiteral("王五"));
        QCOMPARE(entry.idKind, QStringLiteral("身份证"));
        QCOMPARE(entry.idNumber, QStringLiteral("110101"));
        // The row is idle again in every session field.
        QCOMPARE(f.dump(QStringLiteral("yxsjb")).section(u'\n', 0, 0),
                 QStringLiteral("1|1号机|192.168.0.1|3.0|S|<null>|<null>|<null>|0.0|0.0||||"));

        const QList<Customer> all = CustomerTable(f.db()).all();
        QCOMPARE(all.at(0).spent, 2.5);
        QCOMPARE(all.at(0).visits, 1);
        QCOMPARE(all.at(0).lastVisit, kNow);
        // A session without a customer name credits nobody.
        QCOMPARE(all.at(1).spent, 0.0);
        QCOMPARE(all.at(1).visits, 0);
        QVERIFY(!all.at(1).lastVisit.isValid());
    }

    void cardPaysAtItsOwnPrice()
    {
        Fixture f({{3, 180}}); // 9 yuan
        CardTable(f.db()).add(card(QStringLiteral("C1"), 20, QStringLiteral("00000007")));
        f.store.addCustomer(QStringLiteral("00000007"), QStringLiteral("李四"));
        Checkout c = f.checkout();
        c.setUseCard(true);
        c.setCard(QStringLiteral("C1"), QStringLiteral("pw"));
        QVERIFY(f.desk.settle(c, false));
        QVERIFY(!c.usesCard());
        QCOMPARE(c.cardNumber(), QString());

        const Card after = *CardTable(f.db()).byNumber(QStringLiteral("C1"));
        QCOMPARE(after.balance, 14.0);
        QCOMPARE(after.usedHours, 3.0);
        QCOMPARE(after.sessions, 1);
        const Customer owner = CustomerTable(f.db()).all().at(0);
        QCOMPARE(owner.spent, 6.0);
        QCOMPARE(owner.visits, 1);
        QCOMPARE(owner.lastVisit, kNow);
        QCOMPARE(JournalTable(f.db()).endedBetween(kNow, kNow).at(0).received, 9.0);
    }

    void cardOwnerOwnSessionIsCreditedOnce()
    {
        Fixture f({{3, 180}}); // 9 yuan
        CardTable(f.db()).add(card(QStringLiteral("C1"), 20, QStringLiteral("00000007")));
        f.store.addCustomer(QStringLiteral("00000007"), QStringLiteral("李四"));
        Machine m = f.machine(1);
        m.customer = QStringLiteral("李四");
        f.save(m);
        Checkout c = f.checkout();
        c.setUseCard(true);
        c.setCard(QStringLiteral("C1"), QStringLiteral("pw"));
        QVERIFY(f.desk.settle(c, false));
        const Customer owner = CustomerTable(f.db()).all().at(0);
        QCOMPARE(owner.spent, 9.0);
        QCOMPARE(owner.visits, 1);
        QCOMPARE(CardTable(f.db()).byNumber(QStringLiteral("C1"))->balance, 14.0);
    }

    void cardIsNeverCredited()
    {
        // Due 10, 12 prepaid, 90%: nothing is left to take, so the card pays nothing.
        Fixture f({{10, 60}});
        Machine m = f.machine(1);
        m.prepaid = 12;
        f.save(m);
        CardTable(f.db()).add(card(QStringLiteral("C1"), 20));
        Checkout c = f.checkout();
        c.setDiscountText(QStringLiteral("90"));
        QCOMPARE(c.receivedText(), QStringLiteral("0"));
        c.setUseCard(true);
        c.setCard(QStringLiteral("C1"), QStringLiteral("pw"));
        QVERIFY(f.desk.settle(c, false));
        const Card after = *CardTable(f.db()).byNumber(QStringLiteral("C1"));
        QCOMPARE(after.balance, 20.0);
        QCOMPARE(after.usedHours, 0.0);
        QCOMPARE(JournalTable(f.db()).endedBetween(kNow, kNow).at(0).received, 12.0);
    }

    void cardRefusals_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<double>("balance");
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("totalHours");
        QTest::addColumn<double>("total");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong password") << QStringLiteral("nope") << 20.0 << 3.0 << 50.0 << 100.0
                                        << QStringLiteral("储金卡卡号或密码错误,请确认后再次结帐！");
        QTest::newRow("5 left, 6 asked")
            << QStringLiteral("pw") << 5.0 << 3.0 << 50.0 << 100.0
            << QStringLiteral("储金卡金额不足，请确认后再结帐！\r\n当前卡金额：5");
        const QString noPrice = QStringLiteral("该机器或储金卡没有记费标准，不能用储金卡结帐！");
        QTest::newRow("machine without rate")
            << QStringLiteral("pw") << 20.0 << 0.0 << 50.0 << 100.0 << noPrice;
        QTest::newRow("card without hours") << QStringLiteral("pw") << 20.0 << 3.0 << 0.0 << 100.0 << noPrice;
        QTest::newRow("card without price") << QStringLiteral("pw") << 20.0 << 3.0 << 50.0 << 0.0 << noPrice;
    }
    void cardRefusals()
    {
        QFETCH(QString, password);
        QFETCH(double, balance);
        QFETCH(double, rate);
        QFETCH(double, totalHours);
        QFETCH(double, total);
        QFETCH(QString, message);
        Fixture f({{rate, 180}});
        Card c1 = card(QStringLiteral("C1"), balance);
        c1.totalHours = totalHours;
        c1.total = total;
        CardTable(f.db()).add(c1);
        const QStringList before = f.dumpAll();
        Checkout c = f.checkout();
        c.setUseCard(true);
        c.setCard(QStringLiteral("C1"), password);
        const Checkout::Outcome r = f.desk.settle(c, true);
        QVERIFY(!r);
        QCOMPARE(r.error().message, message);
        QCOMPARE(f.dumpAll(), before);
        QVERIFY(f.link.sent.isEmpty());
        // The operator can correct the card and try again.
        QVERIFY(c.usesCard());
        QCOMPARE(c.cardNumber(), QStringLiteral("C1"));
    }

    void vanishedMachineIsNotSettled_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("removed");
        QTest::newRow("selected machine removed") << 1 << true;
        QTest::newRow("machine paid together removed") << 2 << true;
        QTest::newRow("machine paid together settled meanwhile") << 2 << false;
    }
    void vanishedMachineIsNotSettled()
    {
        QFETCH(int, position);
        QFETCH(bool, removed);
        Fixture f({{3, 60}, {3, 60}});
        CardTable(f.db()).add(card(QStringLiteral("C1"), 20));
        Checkout c = f.checkout();
        c.setSelectedOthers({0});
        c.setUseCard(true);
        c.setCard(QStringLiteral("C1"), QStringLiteral("pw"));
        const Machine gone = f.machine(position);
        if (removed)
            QVERIFY(MachineTable(f.db()).remove(gone.rowid));
        else
            QVERIFY(
                f.db().exec(QStringLiteral(R"(UPDATE yxsjb SET "状态"='S', "开始时间"=NULL WHERE rowid=)") +
                            QString::number(gone.rowid)));
        const QStringList before = f.dumpAll();
        const Checkout::Outcome r = f.desk.settle(c, false);
        QVERIFY(!r);
        QCOMPARE(r.error().message, gone.name + QStringLiteral("已经不在记费中，不能结帐！"));
        QCOMPARE(f.dumpAll(), before);
        QVERIFY(f.link.sent.isEmpty());
    }

    void settleAndShutdownStopsTheLastMachine()
    {
        Fixture f({{6, 60}, {4, 60}});
        Checkout c = f.checkout();
        c.setSelectedOthers({0});
        QVERIFY(f.desk.settle(c, true));
        QCOMPARE(f.link.sent,
                 QStringList({QStringLiteral("192.168.0.1 stop"), QStringLiteral("192.168.0.2 stop"),
                              QStringLiteral("192.168.0.2 shutdown (every)")}));
        // Settled once: a second press writes nothing more.
        QCOMPARE(f.desk.settle(c, false).error().kind, Checkout::Refusal::Kind::NoMachine);
        QCOMPARE(f.count(QStringLiteral("sjlszb")), 2);
    }

    void failedStoreWritesNothing()
    {
        // Fail after each number of writes in turn; every failing checkout leaves all tables
        // as they were and tells no client anything.
        int failures = 0;
        for (int writes = 0; writes < 40; ++writes) {
            Fixture f({{3, 180}, {3, 60}});
            f.store.addArticle(QStringLiteral("01"), QStringLiteral("可乐"), 2.5);
            OrderTable(f.db()).add({0, 1, QStringLiteral("01"), 2, kNow.addSecs(-600)});
            OrderTable(f.db()).add({0, 2, QStringLiteral("01"), 1, kNow.addSecs(-600)});
            CardTable(f.db()).add(card(QStringLiteral("C1"), 50, QStringLiteral("00000001")));
            f.store.addCustomer(QStringLiteral("00000001"), QStringLiteral("王五"));
            Machine named = f.machine(1);
            named.customer = QStringLiteral("王五");
            f.save(named);
            f.desk.refresh();
            const QStringList before = f.dumpAll();

            Checkout c = f.checkout();
            c.setSelectedOthers({0});
            c.setUseCard(true);
            c.setCard(QStringLiteral("C1"), QStringLiteral("pw"));
            const QString received = c.receivedText();
            f.db().failWritesAfter(writes);
            const Checkout::Outcome r = f.desk.settle(c, true);
            f.db().failWritesAfter(-1);
            if (r) {
                QVERIFY2(failures > 0, "the checkout never failed");
                QCOMPARE(f.count(QStringLiteral("sjlszb")), 2);
                return;
            }
            ++failures;
            QCOMPARE(r.error().kind, Checkout::Refusal::Kind::StoreFailed);
            QVERIFY(r.error().message.startsWith(QStringLiteral("结帐失败")));
            QCOMPARE(f.dumpAll(), before);
            QVERIFY(f.link.sent.isEmpty());
            QCOMPARE(f.desk.machineList().at(1)->columns.at(7), QStringLiteral("14.00元"));
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
