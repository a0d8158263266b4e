#include "store/accounttables.h"
#include "store/goodstables.h"
#include "store/journaltable.h"
#include "store/machinetable.h"
#include "store/settingstable.h"
#include "support/teststore.h"

#include <QTest>

namespace {

Machine fullMachine()
{
    Machine m;
    m.number = 7;
    m.name = QStringLiteral("七号机");
    m.ip = QStringLiteral("192.168.0.7");
    m.rate = 2.5;
    m.status = MachineStatus::Billing;
    m.start = QDateTime(QDate(2002, 3, 14), QTime(14, 5, 9));
    m.due = QDateTime(QDate(2002, 3, 14), QTime(16, 0, 0));
    m.pauseStart = QDateTime(QDate(2002, 3, 14), QTime(15, 0, 0));
    m.pauseMinutes = 12;
    m.prepaid = 20.5;
    m.mode = QStringLiteral("N");
    m.customer = QStringLiteral("张三");
    m.idKind = QStringLiteral("身份证");
    m.idNumber = QStringLiteral("110");
    return m;
}

} // namespace

class TablesTest : public QObject
{
    Q_OBJECT

private slots:
    void machineRoundTrip();
    void machineLookups();
    void duplicatesGiveFirstInTableOrder();
    void settingsRowCreatedBySave();
    void settingsEmptyMinimum();
    void articlesAndOrderLines();
    void journalNumbersAndPeriod();
    void salesRows();
    void customersNumberAndVisits();
    void operatorDefaults();
};

void TablesTest::machineRoundTrip()
{
    TestStore t;
    MachineTable table(t.db());
    const Machine in = fullMachine();
    QVERIFY(table.add(in));
    std::optional<Machine> out = table.at(1);
    QVERIFY(out);
    QCOMPARE(out->position, 1);
    QVERIFY(out->rowid > 0);
    QCOMPARE(out->number, in.number);
    QCOMPARE(out->name, in.name);
    QCOMPARE(out->ip, in.ip);
    QCOMPARE(out->rate, in.rate);
    QCOMPARE(out->status, in.status);
    QCOMPARE(out->start, in.start);
    QCOMPARE(out->due, in.due);
    QCOMPARE(out->pauseStart, in.pauseStart);
    QCOMPARE(out->pauseMinutes, in.pauseMinutes);
    QCOMPARE(out->prepaid, in.prepaid);
    QCOMPARE(out->mode, in.mode);
    QCOMPARE(out->customer, in.customer);
    QCOMPARE(out->idKind, in.idKind);
    QCOMPARE(out->idNumber, in.idNumber);

    // Back to idle: empty dates are stored as NULL, not as empty texts.
    out->status = MachineStatus::Standby;
    out->start = out->due = out->pauseStart = QDateTime();
    QVERIFY(table.save(*out));
    const std::optional<Machine> idle = table.byRowid(out->rowid);
    QVERIFY(idle);
    QVERIFY(!idle->start.isValid());
    QVERIFY(!idle->due.isValid());
    QCOMPARE(idle->status, MachineStatus::Standby);
    Statement nulls = t.db().prepare(
        QStringLiteral(R"(SELECT "开始时间" IS NULL, "到点时间" IS NULL, "暂停开始" IS NULL FROM yxsjb)"));
    QVERIFY(nulls.next());
    QCOMPARE(nulls.integer(0) + nulls.integer(1) + nulls.integer(2), 3);
    // Dates are stored as local "yyyy-MM-dd HH:mm:ss" texts.
    Machine again = *table.at(1);
    again.start = in.start;
    QVERIFY(table.save(again));
    Statement text = t.db().prepare(QStringLiteral(R"(SELECT "开始时间" FROM yxsjb)"));
    QVERIFY(text.next());
    QCOMPARE(text.text(0), QStringLiteral("2002-03-14 14:05:09"));
}

void TablesTest::machineLookups()
{
    TestStore t;
    t.addMachine(1, 3, MachineStatus::Off, QStringLiteral("10.0.0.1"));
    t.addMachine(2, 4, MachineStatus::Standby, QStringLiteral("10.0.0.2"));
    t.addMachine(3, 5, MachineStatus::Off);
    MachineTable table(t.db());
    QCOMPARE(table.count(), 3);
    QCOMPARE(table.all().size(), 3);
    QCOMPARE(table.all().at(2).position, 3);
    QCOMPARE(table.at(2)->name, QStringLiteral("2号机"));
    QVERIFY(!table.at(0));
    QVERIFY(!table.at(4));
    QVERIFY(!table.at(-1));
    QCOMPARE(table.byNumber(3)->position, 3);
    QVERIFY(!table.byNumber(9));
    QCOMPARE(table.byIp(QStringLiteral("10.0.0.2"))->number, 2);
    QCOMPARE(table.byIp(QStringLiteral("10.0.0.2"))->position, 2);
    QVERIFY(!table.byIp(QStringLiteral("10.0.0.9")));
    // Machine 3 has an empty address; an empty address matches nobody.
    QVERIFY(!table.byIp(QString()));
}

void TablesTest::duplicatesGiveFirstInTableOrder()
{
    TestStore t;
    t.addMachine(5, 3, MachineStatus::Off, QStringLiteral("10.0.0.9"));
    t.addMachine(2, 3, MachineStatus::Off, QStringLiteral("10.0.0.5"));
    t.addMachine(2, 3, MachineStatus::Off, QStringLiteral("10.0.0.9"));
    MachineTable table(t.db());
    std::optional<Machine> byNumber = table.byNumber(2);
    QVERIFY(byNumber);
    QCOMPARE(byNumber->position, 2);
    QCOMPARE(byNumber->ip, QStringLiteral("10.0.0.5"));
    std::optional<Machine> byIp = table.byIp(QStringLiteral("10.0.0.9"));
    QVERIFY(byIp);
    QCOMPARE(byIp->position, 1);
    QCOMPARE(byIp->number, 5);

    // Table order is storage order, not number order, and survives a deletion.
    QVERIFY(t.db().exec(QStringLiteral("DELETE FROM yxsjb WHERE rowid = (SELECT min(rowid) FROM yxsjb)")));
    QCOMPARE(table.at(1)->ip, QStringLiteral("10.0.0.5"));
    QCOMPARE(table.byIp(QStringLiteral("10.0.0.9"))->position, 2);
}

void TablesTest::settingsRowCreatedBySave()
{
    TestStore t;
    QVERIFY(t.db().exec(QStringLiteral("DELETE FROM xtsz")));
    SettingsTable table(t.db());
    QVERIFY(!table.read());

    Settings s;
    s.overnightPrice = 15;
    s.minimumCharge = 2;
    s.roundingUnit = 0.5;
    s.overnightStart = QTime(22, 0);
    s.overnightEnd = QTime(8, 0);
    s.monthStart = -26;
    s.monthEnd = 25;
    QVERIFY(table.save(s));
    s.overnightPrice = 16;
    QVERIFY(table.save(s));

    Statement count = t.db().prepare(QStringLiteral("SELECT count(*) FROM xtsz"));
    QVERIFY(count.next());
    QCOMPARE(count.integer(0), 1);
    const std::optional<Settings> back = table.read();
    QVERIFY(back);
    QCOMPARE(back->overnightPrice, 16.0);
    QCOMPARE(back->minimumCharge, std::optional<double>(2));
    QCOMPARE(back->roundingUnit, 0.5);
    QCOMPARE(back->overnightStart, QTime(22, 0));
    QCOMPARE(back->overnightEnd, QTime(8, 0));
    QCOMPARE(back->monthStart, -26.0);
    QCOMPARE(back->monthEnd, 25.0);
}

void TablesTest::settingsEmptyMinimum()
{
    TestStore t;
    SettingsTable table(t.db());
    Settings s = *table.read();
    s.minimumCharge.reset();
    QVERIFY(table.save(s));
    QVERIFY(!table.read()->minimumCharge);
    // Numbers typed in by hand as texts read as their leading number.
    QVERIFY(t.db().exec(QStringLiteral(R"(UPDATE xtsz SET "通宵金额" = '12.5元', "取整金额" = 'abc')")));
    QCOMPARE(table.read()->overnightPrice, 12.5);
    QCOMPARE(table.read()->roundingUnit, 0.0);
    // A second row added by hand is not the settings row.
    QVERIFY(t.db().exec(QStringLiteral(R"(INSERT INTO xtsz ("最低消费额") VALUES (99))")));
    QVERIFY(!table.read()->minimumCharge);
}

void TablesTest::articlesAndOrderLines()
{
    TestStore t;
    t.addArticle(QStringLiteral("00000001"), QStringLiteral("可乐"), 2.5);
    t.addArticle(QStringLiteral("00000001"), QStringLiteral("重复"), 9);
    t.addArticle(QStringLiteral("00000002"), QStringLiteral("面包"), 1.5);
    ArticleTable articles(t.db());
    QCOMPARE(articles.byNumber(QStringLiteral("00000001"))->name, QStringLiteral("可乐"));
    QCOMPARE(articles.byName(QStringLiteral("面包"))->price, 1.5);
    QVERIFY(!articles.byNumber(QStringLiteral("1")));

    OrderTable orders(t.db());
    const QDateTime when(QDate(2002, 3, 14), QTime(12, 0));
    QVERIFY(orders.add({0, 3, QStringLiteral("00000001"), 2, when}));
    QVERIFY(orders.add({0, 3, QStringLiteral("00000099"), 5, when})); // not in the catalogue
    QVERIFY(orders.add({0, 3, QStringLiteral("00000002"), 1, when}));
    QVERIFY(orders.add({0, 4, QStringLiteral("00000002"), 10, when}));

    const QList<PricedLine> lines = orders.pricedLinesOf(3);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0).price, 2.5); // the first catalogue row of the number
    QVERIFY(lines.at(0).inCatalogue);
    QVERIFY(!lines.at(1).inCatalogue);
    QCOMPARE(lines.at(1).price, 0.0);
    QCOMPARE(orders.goodsTotal(3), 2 * 2.5 + 1.5);
    QCOMPARE(orders.goodsTotal(4), 15.0);
    QCOMPARE(orders.goodsTotal(5), 0.0);
    // Read for all machines at once, each adds up as read alone.
    const QHash<int, double> totals = orders.goodsTotals();
    QCOMPARE(totals.size(), 2);
    QCOMPARE(totals.value(3), orders.goodsTotal(3));
    QCOMPARE(totals.value(4), orders.goodsTotal(4));

    QVERIFY(articles.takeFromStock(QStringLiteral("00000001"), 3));
    QCOMPARE(articles.all().at(0).stock, 97.0);
    QCOMPARE(articles.all().at(1).stock, 100.0);
    QVERIFY(articles.takeFromStock(QStringLiteral("00000099"), 3)); // changes nothing

    QVERIFY(orders.moveLines(3, 6));
    QCOMPARE(orders.linesOf(3).size(), 0);
    QCOMPARE(orders.linesOf(6).size(), 3);
    QVERIFY(orders.removeLinesOf(6));
    QCOMPARE(orders.linesOf(6).size(), 0);
    QCOMPARE(orders.linesOf(4).size(), 1);
}

void TablesTest::journalNumbersAndPeriod()
{
    TestStore t;
    JournalTable journal(t.db());
    QCOMPARE(journal.nextId(), 1);
    const QDate d(2002, 3, 14);
    for (int i = 0; i < 3; ++i) {
        JournalEntry e;
        e.id = journal.nextId();
        e.machine = i + 1;
        e.start = QDateTime(d, QTime(8, 0));
        e.end = QDateTime(d, QTime(10 + i, 0));
        e.mode = QStringLiteral("N");
        e.due = 5;
        QVERIFY(journal.add(e));
    }
    QCOMPARE(journal.nextId(), 4);
    // Both ends included.
    const QList<JournalEntry> rows = journal.endedBetween(QDateTime(d, QTime(10, 0)), QDateTime(d, QTime(11, 0)));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).id, 1);
    QCOMPARE(rows.at(1).machine, 2);
    QCOMPARE(rows.at(1).end, QDateTime(d, QTime(11, 0)));
}

void TablesTest::salesRows()
{
    TestStore t;
    SalesTable sales(t.db());
    const QDateTime when(QDate(2002, 3, 14), QTime(12, 0));
    QVERIFY(sales.add({std::nullopt, -1, QStringLiteral("00000001"), 2, when}));
    QVERIFY(sales.add({7, 3, QStringLiteral("00000002"), 1, when}));
    QVERIFY(sales.mentions(QStringLiteral("00000001")));
    QVERIFY(!sales.mentions(QStringLiteral("00000003")));
    Statement s = t.db().prepare(QStringLiteral(R"(SELECT "ID" IS NULL, "机号" FROM khspb ORDER BY rowid)"));
    QVERIFY(s.next());
    QCOMPARE(s.integer(0), 1); // a counter sale has no session ID
    QCOMPARE(s.integer(1), -1);
    QVERIFY(s.next());
    QCOMPARE(s.integer(0), 0);
}

void TablesTest::customersNumberAndVisits()
{
    TestStore t;
    CustomerTable customers(t.db());
    QCOMPARE(customers.nextNumber(), QStringLiteral("00000001"));
    Customer c;
    c.number = QStringLiteral("00000001");
    c.name = QStringLiteral("李四");
    QVERIFY(customers.add(c));
    c.number = QStringLiteral("00000003");
    c.name = QStringLiteral("李四");
    QVERIFY(customers.add(c));
    QCOMPARE(customers.nextNumber(), QStringLiteral("00000002"));

    const QDateTime when(QDate(2002, 3, 14), QTime(12, 0));
    QVERIFY(customers.addVisitByName(QStringLiteral("李四"), 6.5, when));
    // Every customer of that name is credited.
    for (const Customer &each : customers.all()) {
        QCOMPARE(each.spent, 6.5);
        QCOMPARE(each.visits, 1);
        QCOMPARE(each.lastVisit, when);
    }
}

void TablesTest::operatorDefaults()
{
    TestStore t;
    OperatorTable operators(t.db());
    QCOMPARE(operators.count(), 0);
    QVERIFY(t.db().exec(QStringLiteral(R"(INSERT INTO yhszb ("用户名称", "权限") VALUES ('admin', 'D'))")));
    const std::optional<Operator> o = operators.byName(QStringLiteral("admin"));
    QVERIFY(o);
    QCOMPARE(o->fontName, QStringLiteral("宋体"));
    QCOMPARE(o->fontSize, 9.0);
    QCOMPARE(o->backgroundColor, Operator::kSystemWindowColor);
    // An empty password matches the empty text.
    QVERIFY(operators.find(QStringLiteral("admin"), QString()));
    QVERIFY(!operators.find(QStringLiteral("admin"), QStringLiteral("x")));
    QVERIFY(!operators.find(QStringLiteral("Admin"), QString()));
}

QTEST_GUILESS_MAIN(TablesTest)
#include "tables_test.moc"
