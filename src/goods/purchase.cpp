#include "purchase.h"

#include "common/clock.h"
#include "common/formats.h"
#include "common/numbers.h"
#include "orders.h"
#include "store/database.h"
#include "store/goodstables.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPurchase, "corvana.goods.purchase")

void ShoppingList::add(const Article &article)
{
    m_totalFormatted = false;
    for (Line &line : m_lines) {
        if (line.article == article.number) {
            line.quantity += 1;
            line.amount = numberValue(line.priceText) * line.quantity;
            return;
        }
    }
    Line line;
    line.article = article.number;
    line.name = article.name;
    line.priceText = formatMoney(article.price);
    line.quantity = 1;
    line.amount = numberValue(line.priceText);
    m_lines.append(line);
}

bool ShoppingList::remove(int row)
{
    if (row < 0 || row >= int(m_lines.size()))
        return false;
    m_lines.removeAt(row);
    m_totalFormatted = true;
    return true;
}

QStringList ShoppingList::row(int row) const
{
    if (isTotalRow(row))
        return {QString(), QString(), totalCaption(), QString(), totalText()};
    if (row < 0 || row >= int(m_lines.size()))
        return {};
    const Line &line = m_lines.at(row);
    return {line.article, line.name, line.priceText, plainNumber(line.quantity), plainNumber(line.amount)};
}

double ShoppingList::total() const
{
    double sum = 0;
    for (const Line &line : m_lines)
        sum += line.amount;
    return sum;
}

QString ShoppingList::totalText() const
{
    return m_totalFormatted ? formatMoney(total()) : plainNumber(total());
}

namespace Purchase {

namespace {

// The catalogue article a confirmed line stands for: the one article of its name, else
// (the catalogue changed meanwhile, or two articles share the name) its article number.
QString articleNumberOf(const ShoppingList::Line &line, const QList<Article> &catalogue)
{
    const Article *byName = nullptr;
    int sameName = 0;
    for (const Article &a : catalogue) {
        if (a.name == line.name) {
            byName = &a;
            ++sameName;
        }
    }
    if (sameName == 1)
        return byName->number;
    qCInfo(lcPurchase) << "goods line" << line.name << "matched by its number" << line.article << "("
                       << sameName << "articles of that name)";
    return line.article;
}

} // namespace

QString confirmationText(const ShoppingList &list)
{
    return QStringLiteral("你确实要选购选中的商品吗？总价格为：") + list.totalText() +
           QStringLiteral("\r\n如果一经确认则不能退货！");
}

Result<> confirm(Database &db, int machine, const ShoppingList &list)
{
    if (list.isEmpty())
        return failure(QStringLiteral("请先选中商品！"));
    const QList<Article> catalogue = ArticleTable(db).all();
    const QDateTime now = Clock::now();
    const auto fail = [&] {
        qCWarning(lcPurchase) << "purchase for machine" << machine << "not recorded:" << db.lastError();
        return failure(QStringLiteral("保存失败：") + db.lastError());
    };
    QList<OrderItem> items;
    for (const ShoppingList::Line &line : list.lines())
        items.append({articleNumberOf(line, catalogue), line.quantity});
    if (!recordOrders(db, machine, items, now))
        return fail();
    return {};
}

} // namespace Purchase
