#include "common/clock.h"
#include "goods/countersale.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "support/teststore.h"

#include <QTest>

class CounterSaleTest : public QObject
{
    Q_OBJECT

private slots:
    void saleBooksOneJournalRowAndLowersStock();
    void refusedSaleChangesNothing_data();
    void refusedSaleChangesNothing();
};

void CounterSaleTest::saleBooksOneJournalRowAndLowersStock()
{
    TestStore store;
    store.addMachine(1);
    store.addArticle(u"00000001"_qs, u"可乐"_qs, 3, 1);
    const QDateTime now(QDate(2026, 3, 7), QTime(9, 5, 0));
    Effects effects;
    QVERIFY(CounterSale::sell(store.db(), effects, u"00000001"_qs, 2, now));
    QCOMPARE(effects.takings.counterSales, 6.0);

    Statement s = store.db().prepare(
        u"SELECT \"ID\" IS NULL, \"机号\", \"商品编号\", \"数量\", \"时间\", (SELECT count(*) FROM splsjlb) FROM khspb"_qs);
    QVERIFY(s.next());
    QCOMPARE(s.integer(0), 1);
    QCOMPARE(s.integer(1), -1);
    QCOMPARE(s.text(2), u"00000001"_qs);
    QCOMPARE(s.real(3), 2.0);
    QCOMPARE(s.dateTime(4), now);
    QCOMPARE(s.integer(5), 0);
    QVERIFY(!s.next());
    QCOMPARE(ArticleTable(store.db()).byNumber(u"00000001"_qs)->stock, -1.0); // may go below 0
}

void CounterSaleTest::refusedSaleChangesNothing_data()
{
    QTest::addColumn<QString>("article");
    QTest::addColumn<int>("quantity");
    QTest::addColumn<int>("failWritesAfter");
    QTest::newRow("nothing to sell") << u"00000001"_qs << 0 << -1;
    QTest::newRow("unknown article") << u"00000009"_qs << 1 << -1;
    QTest::newRow("stock not written") << u"00000001"_qs << 1 << 1;
}

void CounterSaleTest::refusedSaleChangesNothing()
{
    QFETCH(QString, article);
    QFETCH(int, quantity);
    QFETCH(int, failWritesAfter);
    TestStore store;
    store.addArticle(u"00000001"_qs, u"可乐"_qs, 3, 5);
    const QStringList before = tableDump(store.db());
    store.db().failWritesAfter(failWritesAfter);
    Effects effects;
    QVERIFY(!CounterSale::sell(store.db(), effects, article, quantity, Clock::now()));
    store.db().failWritesAfter(-1);
    QCOMPARE(tableDump(store.db()), before);
}

QTEST_GUILESS_MAIN(CounterSaleTest)
#include "countersale_test.moc"
