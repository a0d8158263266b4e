#include "countersale.h"

#include "store/database.h"
#include "store/goodstables.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCounterSale, "corvana.goods.countersale")

namespace CounterSale {

std::optional<int> quantityOf(const QString &text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < 1)
        return std::nullopt;
    return n;
}

Result<GoodsSale> sell(Database &db, Effects &effects, const QString &article, int quantity, const QDateTime &when)
{
    if (quantity < 1)
        return failure(QStringLiteral("请输入商品数量！"));
    Transaction t(db);
    const std::optional<Article> sold = ArticleTable(db).byNumber(article);
    if (!sold)
        return failure(QStringLiteral("当前商品已经不存在了！"));
    GoodsSale sale;
    sale.machine = -1;
    sale.article = article;
    sale.quantity = quantity;
    sale.time = when;
    // The stock moves by the quantity from whatever another counter left in it.
    if (!SalesTable(db).add(sale) || !ArticleTable(db).takeFromStock(article, quantity) || !t.commit()) {
        qCWarning(lcCounterSale) << "sale failed:" << db.lastError();
        return failure(QStringLiteral("零售没有记录成功：") + db.lastError());
    }
    effects.takings.counterSales = quantity * sold->price;
    return sale;
}

} // namespace CounterSale
