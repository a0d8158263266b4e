#include "catalogue.h"

#include "common/numbers.h"
#include "store/database.h"
#include "store/goodstables.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCatalogue, "corvana.goods.catalogue")

namespace Catalogue {

namespace {

std::unexpected<QString> storeFailure(Database &db, const char *what)
{
    qCWarning(lcCatalogue) << what << "failed:" << db.lastError();
    return failure(QStringLiteral("商品资料没有保存成功：") + db.lastError());
}

Article articleFrom(const ArticleInput &input)
{
    Article a;
    a.name = input.name;
    a.cost = numberValue(input.cost);
    a.price = numberValue(input.price);
    a.stock = numberValue(input.stock);
    return a;
}

const QString kGone = QStringLiteral("当前商品已经不存在了！");

} // namespace

QString nextArticleNumber(Database &db)
{
    return nextFreeNumber(ArticleTable(db).numbers());
}

Result<Article> add(Database &db, const ArticleInput &input)
{
    Transaction t(db);
    ArticleTable table(db);
    // Another counter adding an article at the same moment would take the same number.
    if (!table.lockAll())
        return storeFailure(db, "add");
    Article a = articleFrom(input);
    a.number = nextFreeNumber(table.numbers());
    if (!table.add(a) || !t.commit())
        return storeFailure(db, "add");
    return table.byNumber(a.number).value_or(a);
}

Result<Article> modify(Database &db, qint64 rowid, const ArticleInput &input, double shownStock)
{
    Transaction t(db);
    ArticleTable table(db);
    if (!table.byRowid(rowid))
        return failure(kGone);
    Article a = articleFrom(input);
    a.rowid = rowid;
    if (!table.edit(a, a.stock - shownStock) || !t.commit())
        return storeFailure(db, "modify");
    return *table.byRowid(rowid);
}

QString stockMovedNotice(const ArticleInput &input, double shownStock, const Article &saved)
{
    const double typed = numberValue(input.stock);
    if (typed == shownStock || saved.stock == typed)
        return {};
    return QStringLiteral("库存数量已被其他操作改动，已按改动后的数量保存：") + plainNumber(saved.stock);
}

Result<> checkRemovable(Database &db, const Article &article)
{
    if (SalesTable(db).mentions(article.number))
        return failure(QStringLiteral("由于当前商品有销售记录，所以不能删除！"));
    if (OrderTable(db).mentionsArticle(article.number))
        return failure(QStringLiteral("由于当前商品还有未结帐的记录，所以不能删除！"));
    return {};
}

Result<> remove(Database &db, qint64 rowid)
{
    Transaction t(db);
    ArticleTable table(db);
    // An order of the article at another counter finishes first and is then seen here.
    if (!table.lockAll())
        return storeFailure(db, "remove");
    const std::optional<Article> a = table.byRowid(rowid);
    if (!a)
        return failure(kGone);
    if (Result<> ok = checkRemovable(db, *a); !ok)
        return ok;
    if (!table.remove(rowid) || !t.commit())
        return storeFailure(db, "remove");
    return {};
}

QString removeQuestion(const Article &article)
{
    return QStringLiteral("确实要删除当前商品：\n") + article.name + QStringLiteral(" 吗？");
}

} // namespace Catalogue
