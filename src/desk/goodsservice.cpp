#include "goodsservice.h"

#include "audit/describe.h"
#include "common/clock.h"
#include "common/commandpath.h"
#include "common/numbers.h"
#include "goods/countersale.h"
#include "store/goodstables.h"

GoodsService::GoodsService(Database &db, CommandPath &commands, ServiceOperator at)
    : m_db(db), m_commands(commands), m_at(std::move(at))
{
}

QList<Article> GoodsService::articles() const
{
    return ArticleTable(m_db).all();
}

bool GoodsService::mayEdit() const
{
    return m_at.allow(Command::GoodsEdit).has_value();
}

Result<QString> GoodsService::nextArticleNumber() const
{
    if (const Result<> ok = m_at.allow(Command::GoodsEdit); !ok)
        return failure(ok.error());
    return Catalogue::nextArticleNumber(m_db);
}

Result<Article> GoodsService::saveArticle(qint64 rowid, const Catalogue::ArticleInput &input,
                                          double shownStock)
{
    if (const Result<> ok = m_at.allow(Command::GoodsEdit); !ok)
        return failure(ok.error());
    const bool adding = rowid == 0;
    const std::optional<Article> before = adding ? std::nullopt : ArticleTable(m_db).byRowid(rowid);
    return m_commands.run(
        {adding ? QStringLiteral("添加商品") : QStringLiteral("修改商品"), 0},
        [&] {
            return adding ? Catalogue::add(m_db, input) : Catalogue::modify(m_db, rowid, input, shownStock);
        },
        [&](const Article &after) { return audit::describe(before, after); });
}

Result<> GoodsService::checkRemovable(const Article &article) const
{
    if (const Result<> ok = m_at.allow(Command::GoodsEdit); !ok)
        return ok;
    return Catalogue::checkRemovable(m_db, article);
}

Result<> GoodsService::removeArticle(const Article &article)
{
    if (const Result<> ok = m_at.allow(Command::GoodsEdit); !ok)
        return ok;
    return m_commands.run(
        {QStringLiteral("删除商品"), 0}, [&] { return Catalogue::remove(m_db, article.rowid); },
        [&] { return audit::describe(article, std::nullopt); });
}

Result<GoodsSale> GoodsService::sell(const Article &article, int quantity)
{
    return m_commands.run(
        {QStringLiteral("零售"), 0},
        [&](Effects &effects) {
            return CounterSale::sell(m_db, effects, article.number, quantity, Clock::now());
        },
        [&](const GoodsSale &sale) {
            return QStringLiteral("%1 %2×%3 共%4")
                .arg(sale.article, article.name, plainNumber(sale.quantity),
                     plainNumber(sale.quantity * article.price));
        });
}
