#include "common/clock.h"
#include "goods/catalogue.h"
#include "goods/orders.h"
#include "link/cachedmessage.h"
#include "link/requests.h"
#include "store/goodstables.h"
#include "support/teststore.h"

#include <QTest>

class CatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void nextArticleNumber_data();
    void nextArticleNumber();
    void modifyKeepsOrdersTakenMeanwhile_data();
    void modifyKeepsOrdersTakenMeanwhile();
    void clientGoodsListSeesSavesAtOnce();
    void refusedDeleteChangesNothing_data();
    void refusedDeleteChangesNothing();
};

void CatalogueTest::nextArticleNumber_data()
{
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("deleted"); // deleted before adding
    QTest::addColumn<QString>("next");
    QTest::newRow("empty") << QStringList{} << QString() << u"00000001"_qs;
    QTest::newRow("two") << QStringList{u"00000001"_qs, u"00000002"_qs} << QString() << u"00000003"_qs;
    QTest::newRow("freed again") << QStringList{u"00000001"_qs, u"00000002"_qs} << u"00000001"_qs
                                 << u"00000001"_qs;
    QTest::newRow("by number value") << QStringList{u"1"_qs, u"2abc"_qs, u"x3"_qs} << QString()
                                     << u"00000003"_qs;
}

void CatalogueTest::nextArticleNumber()
{
    QFETCH(QStringList, numbers);
    QFETCH(QString, deleted);
    QFETCH(QString, next);
    TestStore store;
    for (const QString &n : numbers)
        store.addArticle(n, u"x"_qs, 1);
    if (!deleted.isEmpty())
        QVERIFY(Catalogue::remove(store.db(), ArticleTable(store.db()).byNumber(deleted)->rowid));
    QCOMPARE(Catalogue::nextArticleNumber(store.db()), next);

    const Result<Article> added = Catalogue::add(store.db(), {u"雪碧"_qs, u"1.5"_qs, u"3.5.1"_qs, u""_qs});
    QVERIFY(added);
    const Article stored = *ArticleTable(store.db()).byRowid(added->rowid);
    QCOMPARE(stored.number, next);
    QCOMPARE(QList<double>({stored.cost, stored.price, stored.stock}), QList<double>({1.5, 3.5, 0}));
}

void CatalogueTest::modifyKeepsOrdersTakenMeanwhile_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("orderedMeanwhile");
    QTest::addColumn<double>("stock");
    QTest::newRow("stock untouched, order") << u"10"_qs << 2.0 << 8.0;
    QTest::newRow("stock raised, order") << u"15"_qs << 2.0 << 13.0;
    QTest::newRow("stock lowered, no order") << u"4"_qs << 0.0 << 4.0;
    QTest::newRow("stock emptied, order") << u""_qs << 3.0 << -3.0;
}

void CatalogueTest::modifyKeepsOrdersTakenMeanwhile()
{
    QFETCH(QString, typed);
    QFETCH(double, orderedMeanwhile);
    QFETCH(double, stock);
    TestStore store;
    store.addArticle(u"00000001"_qs, u"可乐"_qs, 3, 10);
    const Article shown = *ArticleTable(store.db()).byNumber(u"00000001"_qs);
    if (orderedMeanwhile > 0)
        QVERIFY(recordOrders(store.db(), 1, {{shown.number, orderedMeanwhile}}, Clock::now()));

    QVERIFY(
        Catalogue::modify(store.db(), shown.rowid, {u"百事可乐"_qs, u"1"_qs, u"4"_qs, typed}, shown.stock));
    const Article a = *ArticleTable(store.db()).byRowid(shown.rowid);
    QCOMPARE(a.number + a.name, u"00000001百事可乐"_qs);
    QCOMPARE(a.price, 4.0);
    QCOMPARE(a.stock, stock);
}

void CatalogueTest::clientGoodsListSeesSavesAtOnce()
{
    TestStore store;
    store.addArticle(u"00000001"_qs, u"可乐"_qs, 3, 10);
    CachedMessage goodsList(&RequestHandler::goodsListMessage);
    const QByteArray before = goodsList.get(store.db());
    const Article a = *ArticleTable(store.db()).byNumber(u"00000001"_qs);
    QVERIFY(Catalogue::modify(store.db(), a.rowid, {a.name, {}, u"4"_qs, u"10"_qs}, 10));
    QCOMPARE(goodsList.get(store.db()), RequestHandler::goodsListMessage(store.db()));
    QVERIFY(goodsList.get(store.db()) != before);
}

void CatalogueTest::refusedDeleteChangesNothing_data()
{
    QTest::addColumn<bool>("sold");
    QTest::addColumn<bool>("ordered");
    QTest::addColumn<QString>("message");
    QTest::newRow("sold") << true << false << u"由于当前商品有销售记录，所以不能删除！"_qs;
    QTest::newRow("ordered") << false << true << u"由于当前商品还有未结帐的记录，所以不能删除！"_qs;
}

void CatalogueTest::refusedDeleteChangesNothing()
{
    QFETCH(bool, sold);
    QFETCH(bool, ordered);
    QFETCH(QString, message);
    TestStore store;
    store.addMachine(1);
    store.addArticle(u"00000001"_qs, u"可乐"_qs, 3);
    if (sold)
        QVERIFY(SalesTable(store.db()).add({7, 1, u"00000001"_qs, 1, Clock::now()}));
    if (ordered)
        QVERIFY(recordOrders(store.db(), 1, {{u"00000001"_qs, 1}}, Clock::now()));
    const Article a = *ArticleTable(store.db()).byNumber(u"00000001"_qs);
    const QStringList before = tableDump(store.db());

    QCOMPARE(Catalogue::checkRemovable(store.db(), a).error(), message);
    const Result<> removed = Catalogue::remove(store.db(), a.rowid);
    QVERIFY(!removed);
    QCOMPARE(removed.error(), message);
    QCOMPARE(tableDump(store.db()), before);
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "catalogue_test.moc"
