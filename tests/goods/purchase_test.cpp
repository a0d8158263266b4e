#include "common/clock.h"
#include "goods/orders.h"
#include "goods/purchase.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "support/testdesk.h"

#include <QTest>

namespace {

const QDateTime kNow(QDate(2002, 3, 14), QTime(20, 0));

Article article(const QString &number, const QString &name, double price)
{
    return {0, number, name, price / 2, price, 10};
}

} // namespace

class PurchaseTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    void sameArticleAddsToItsLine()
    {
        ShoppingList list;
        const Article cola = article(QStringLiteral("00000001"), QStringLiteral("可乐"), 3.5);
        for (int i = 0; i < 3; ++i)
            list.add(cola);
        QCOMPARE(list.lines().size(), 1);
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.row(0),
                 (QStringList{QStringLiteral("00000001"), QStringLiteral("可乐"), QStringLiteral("3.50元"),
                              QStringLiteral("3"), QStringLiteral("10.5")}));
        QCOMPARE(list.row(1), (QStringList{QString(), QString(), QStringLiteral("累计金额"), QString(),
                                           QStringLiteral("10.5")}));
        QVERIFY(list.isTotalRow(1));
    }

    void totalTextFollowsTheLastChange()
    {
        ShoppingList list;
        list.add(article(QStringLiteral("00000001"), QStringLiteral("可乐"), 2.5));
        list.add(article(QStringLiteral("00000002"), QStringLiteral("面包"), 4));
        list.add(article(QStringLiteral("00000002"), QStringLiteral("面包"), 4));
        QCOMPARE(list.totalText(), QStringLiteral("10.5"));
        QCOMPARE(list.rowCount(), 3);

        QVERIFY(!list.remove(2)); // the total line stays
        QVERIFY(list.remove(0));
        QCOMPARE(list.totalText(), QStringLiteral("8.00元"));
        QCOMPARE(list.row(0).at(0), QStringLiteral("00000002"));
        list.add(article(QStringLiteral("00000001"), QStringLiteral("可乐"), 2.5));
        QCOMPARE(list.totalText(), QStringLiteral("10.5"));
        QCOMPARE(Purchase::confirmationText(list),
                 QStringLiteral("你确实要选购选中的商品吗？总价格为：10.5\r\n如果一经确认则不能退货！"));
    }

    void removingTheOnlyLineEmptiesTheList()
    {
        ShoppingList list;
        list.add(article(QStringLiteral("00000001"), QStringLiteral("可乐"), 2.5));
        QVERIFY(list.remove(0));
        QVERIFY(list.isEmpty());
        QCOMPARE(list.rowCount(), 0);
        QVERIFY(!list.remove(0));
    }

    void confirmRecordsLinesAndLowersStock()
    {
        TestDesk t;
        t.store.addMachine(1);
        t.store.addMachine(2);
        t.store.startSession(2, kNow.addSecs(-600));
        t.store.addArticle(QStringLiteral("00000001"), QStringLiteral("可乐"), 2.5, 20);
        t.store.addArticle(QStringLiteral("00000002"), QStringLiteral("面包"), 4, 1);
        t.open();
        FrontDesk &desk = t.desk;
        QVERIFY(recordOrders(desk.db(), 2, {{QStringLiteral("00000001"), 1}}, kNow.addSecs(-300)));

        ShoppingList list;
        const QList<Article> catalogue = ArticleTable(desk.db()).all();
        list.add(catalogue.at(0));
        list.add(catalogue.at(0));
        list.add(catalogue.at(1));
        list.add(catalogue.at(1));
        QVERIFY(desk.purchase(2, list));

        OrderTable orders(desk.db());
        const QList<OrderLine> lines = orders.linesOf(2);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0).quantity, 3.0);
        QCOMPARE(lines.at(0).time, kNow);
        QCOMPARE(lines.at(1).article, QStringLiteral("00000002"));
        QCOMPARE(lines.at(1).quantity, 2.0);
        ArticleTable articles(desk.db());
        QCOMPARE(articles.byNumber(QStringLiteral("00000001"))->stock, 17.0);
        QCOMPARE(articles.byNumber(QStringLiteral("00000002"))->stock, -1.0); // no lower bound
        QCOMPARE(desk.machineList().at(2)->columns.at(6), QStringLiteral("15.50元"));
    }

    void linesWithoutAUniqueNameGoByNumber()
    {
        TestDesk t;
        t.store.addMachine(1);
        t.store.addArticle(QStringLiteral("00000001"), QStringLiteral("可乐"), 2.5, 20);
        t.store.addArticle(QStringLiteral("00000002"), QStringLiteral("可乐"), 3, 20);
        t.store.addArticle(QStringLiteral("00000003"), QStringLiteral("面包"), 4, 20);
        t.open();
        FrontDesk &desk = t.desk;

        ShoppingList list;
        list.add(article(QStringLiteral("00000002"), QStringLiteral("可乐"), 3));
        list.add(article(QStringLiteral("00000003"), QStringLiteral("旧面包"), 4)); // renamed meanwhile
        QVERIFY(desk.purchase(1, list));
        ArticleTable articles(desk.db());
        QCOMPARE(articles.byNumber(QStringLiteral("00000001"))->stock, 20.0);
        QCOMPARE(articles.byNumber(QStringLiteral("00000002"))->stock, 19.0);
        QCOMPARE(articles.byNumber(QStringLiteral("00000003"))->stock, 19.0);
        QCOMPARE(OrderTable(desk.db()).linesOf(1).size(), 2);
    }

    void failedConfirmRecordsNothing()
    {
        TestDesk t;
        t.store.addMachine(1);
        t.store.addArticle(QStringLiteral("00000001"), QStringLiteral("可乐"), 2.5, 20);
        t.store.addArticle(QStringLiteral("00000002"), QStringLiteral("面包"), 4, 20);
        t.open();
        FrontDesk &desk = t.desk;
        ShoppingList list;
        const Result<> result = desk.purchase(1, list);
        QVERIFY(!result);
        QCOMPARE(result.error(), QStringLiteral("请先选中商品！"));

        const QList<Article> catalogue = ArticleTable(desk.db()).all();
        list.add(catalogue.at(0));
        list.add(catalogue.at(1));
        desk.db().failWritesAfter(3); // the first article goes through, the second fails
        QVERIFY(!desk.purchase(1, list));
        desk.db().failWritesAfter(-1);
        QVERIFY(OrderTable(desk.db()).linesOf(1).isEmpty());
        QCOMPARE(ArticleTable(desk.db()).byNumber(QStringLiteral("00000001"))->stock, 20.0);
    }
};

QTEST_GUILESS_MAIN(PurchaseTest)
#include "purchase_test.moc"
