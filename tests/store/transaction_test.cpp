#include "goods/orders.h"
#include "store/goodstables.h"
#include "store/webtables.h"
#include "support/teststore.h"

#include <QTest>

namespace {

int rows(Database &db, const QString &table)
{
    Statement s = db.prepare(QStringLiteral("SELECT count(*) FROM ") + table);
    return s.next() ? int(s.integer(0)) : -1;
}

bool addSite(Database &db, const QString &fragment)
{
    return RestrictedSiteTable(db).add({0, fragment});
}

} // namespace

class TransactionTest : public QObject
{
    Q_OBJECT

private slots:
    void uncommittedLeavesNothing();
    void committedStays();
    void nested();
    void failedWriteRollsBackOrder_data();
    void failedWriteRollsBackOrder();
    void failingWritesReportFailure();
};

void TransactionTest::uncommittedLeavesNothing()
{
    TestStore t;
    {
        Transaction tx(t.db());
        QVERIFY(addSite(t.db(), QStringLiteral("a")));
        QVERIFY(addSite(t.db(), QStringLiteral("b")));
        QCOMPARE(rows(t.db(), QStringLiteral("hickhttp")), 2);
    }
    QCOMPARE(rows(t.db(), QStringLiteral("hickhttp")), 0);
    // The connection is usable afterwards, outside any transaction.
    QVERIFY(addSite(t.db(), QStringLiteral("c")));
    t.store().close();
    QString error;
    Store again;
    QVERIFY(again.open(t.path(), &error));
    QCOMPARE(rows(again.db(), QStringLiteral("hickhttp")), 1);
}

void TransactionTest::committedStays()
{
    TestStore t;
    {
        Transaction tx(t.db());
        QVERIFY(addSite(t.db(), QStringLiteral("a")));
        QVERIFY(tx.commit());
        QVERIFY(!tx.commit());
    }
    t.store().close();
    Store again;
    QString error;
    QVERIFY(again.open(t.path(), &error));
    QCOMPARE(rows(again.db(), QStringLiteral("hickhttp")), 1);
}

void TransactionTest::nested()
{
    TestStore t;
    // Inner committed, outer not: nothing.
    {
        Transaction outer(t.db());
        QVERIFY(addSite(t.db(), QStringLiteral("outer")));
        {
            Transaction inner(t.db());
            QVERIFY(addSite(t.db(), QStringLiteral("inner")));
            QVERIFY(inner.commit());
        }
    }
    QCOMPARE(rows(t.db(), QStringLiteral("hickhttp")), 0);

    // Inner rolled back, outer committed: only the outer rows.
    {
        Transaction outer(t.db());
        QVERIFY(addSite(t.db(), QStringLiteral("outer")));
        {
            Transaction inner(t.db());
            QVERIFY(addSite(t.db(), QStringLiteral("inner")));
        }
        QVERIFY(addSite(t.db(), QStringLiteral("outer again")));
        QVERIFY(outer.commit());
    }
    const QList<RestrictedSite> sites = RestrictedSiteTable(t.db()).all();
    QCOMPARE(sites.size(), 2);
    QCOMPARE(sites.at(0).fragment, QStringLiteral("outer"));
    QCOMPARE(sites.at(1).fragment, QStringLiteral("outer again"));
}

void TransactionTest::failedWriteRollsBackOrder_data()
{
    QTest::addColumn<bool>("existingLine");
    QTest::addColumn<int>("writesAllowed");
    QTest::newRow("new line, stock fails") << false << 0;
    QTest::newRow("new line, line fails") << false << 1;
    QTest::newRow("existing line, line fails") << true << 1;
}

void TransactionTest::failedWriteRollsBackOrder()
{
    QFETCH(bool, existingLine);
    QFETCH(int, writesAllowed);
    TestStore t;
    t.addArticle(QStringLiteral("00000001"), QStringLiteral("可乐"), 2.5, 10);
    const QDateTime when(QDate(2002, 3, 14), QTime(12, 0));
    if (existingLine)
        QVERIFY(recordOrders(t.db(), 1, {{QStringLiteral("00000001"), 2}}, when));

    t.db().failWritesAfter(writesAllowed);
    QVERIFY(!recordOrders(t.db(), 1, {{QStringLiteral("00000001"), 3}}, when.addSecs(60)));
    t.db().failWritesAfter(-1);

    ArticleTable articles(t.db());
    QCOMPARE(articles.byNumber(QStringLiteral("00000001"))->stock, existingLine ? 8.0 : 10.0);
    const QList<OrderLine> lines = OrderTable(t.db()).linesOf(1);
    QCOMPARE(lines.size(), existingLine ? 1 : 0);
    if (existingLine) {
        QCOMPARE(lines.at(0).quantity, 2.0);
        QCOMPARE(lines.at(0).time, when);
    }

    // Once writes work again the same order goes through whole.
    QVERIFY(recordOrders(t.db(), 1, {{QStringLiteral("00000001"), 3}}, when.addSecs(60)));
    QCOMPARE(articles.byNumber(QStringLiteral("00000001"))->stock, existingLine ? 5.0 : 7.0);
    QCOMPARE(OrderTable(t.db()).linesOf(1).at(0).quantity, existingLine ? 5.0 : 3.0);
}

void TransactionTest::failingWritesReportFailure()
{
    TestStore t;
    t.db().failWritesAfter(0);
    QVERIFY(!addSite(t.db(), QStringLiteral("x")));
    QVERIFY(!t.db().lastError().isEmpty());
    // Reads still work.
    QCOMPARE(rows(t.db(), QStringLiteral("hickhttp")), 0);
    t.db().failWritesAfter(-1);
    QVERIFY(addSite(t.db(), QStringLiteral("x")));
}

QTEST_GUILESS_MAIN(TransactionTest)
#include "transaction_test.moc"
