#include "goodstables.h"

#include "database.h"
#include "journaltable.h"

#include "common/formats.h"

namespace {

const QString kArticleColumns =
    QStringLiteral(R"(rowid, "商品编号", "商品名称", "进货价格", "零售价格", "库存数量")");

Article readArticle(const Statement &s)
{
    return {s.integer(0), s.text(1), s.text(2), s.real(3), s.real(4), s.real(5)};
}

OrderLine readLine(const Statement &s)
{
    return {s.integer(0), int(s.integer(1)), s.text(2), s.real(3), s.dateTime(4)};
}

} // namespace

QList<Article> ArticleTable::all()
{
    QList<Article> result;
    auto s = m_db.cached(QStringLiteral("SELECT ") + kArticleColumns +
                         QStringLiteral(" FROM spkcb ORDER BY rowid"));
    while (s->next())
        result.append(readArticle(*s));
    return result;
}

std::optional<Article> ArticleTable::byNumber(const QString &number)
{
    return first(QStringLiteral("商品编号"), number);
}

std::optional<Article> ArticleTable::byName(const QString &name)
{
    return first(QStringLiteral("商品名称"), name);
}

std::optional<Article> ArticleTable::first(const QString &field, const QString &value)
{
    auto s = m_db.cached(QStringLiteral("SELECT ") + kArticleColumns + QStringLiteral(" FROM spkcb WHERE \"") +
                         field + QStringLiteral("\" = ? ORDER BY rowid LIMIT 1"));
    s->bind(1, value);
    if (!s->next())
        return std::nullopt;
    return readArticle(*s);
}

bool ArticleTable::add(const Article &a)
{
    auto s = m_db.cached(QStringLiteral(
        R"(INSERT INTO spkcb ("商品编号", "商品名称", "进货价格", "零售价格", "库存数量") VALUES (?,?,?,?,?))"));
    return s->bindAll({a.number, a.name, a.cost, a.price, a.stock}).run();
}

bool ArticleTable::save(const Article &a)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE spkcb SET "商品编号"=?, "商品名称"=?, "进货价格"=?, "零售价格"=?, "库存数量"=? WHERE rowid=?)"));
    return s->bindAll({a.number, a.name, a.cost, a.price, a.stock, a.rowid}).run();
}

bool ArticleTable::remove(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral("DELETE FROM spkcb WHERE rowid=?"));
    return s->bind(1, rowid).run();
}

bool ArticleTable::takeFromStock(const QString &number, double quantity)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE spkcb SET "库存数量" = ifnull("库存数量", 0) - ?
           WHERE rowid = (SELECT rowid FROM spkcb WHERE "商品编号" = ? ORDER BY rowid LIMIT 1))"));
    return s->bindAll({quantity, number}).run();
}

double pricedTotal(const QList<PricedLine> &lines)
{
    double total = 0;
    for (const PricedLine &l : lines)
        total += l.line.quantity * l.price; // a line missing from the catalogue reads price 0
    return total;
}

QList<OrderLine> OrderTable::linesOf(int machine)
{
    QList<OrderLine> result;
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT rowid, "机号", "商品编号", "数量", "时间" FROM splsjlb WHERE "机号" = ? ORDER BY rowid)"));
    s->bind(1, machine);
    while (s->next())
        result.append(readLine(*s));
    return result;
}

QList<PricedLine> OrderTable::pricedLinesOf(int machine)
{
    QList<PricedLine> result;
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT l.rowid, l."机号", l."商品编号", l."数量", l."时间", a.rowid, a."商品名称", a."零售价格"
           FROM splsjlb l LEFT JOIN spkcb a ON a.rowid =
               (SELECT rowid FROM spkcb WHERE "商品编号" = l."商品编号" ORDER BY rowid LIMIT 1)
           WHERE l."机号" = ? ORDER BY l.rowid)"));
    s->bind(1, machine);
    while (s->next())
        result.append({readLine(*s), !s->isNull(5), s->text(6), s->real(7)});
    return result;
}

namespace {

// Each line's machine, quantity and price (the first catalogue row of its number; NULL, read
// as 0, when it is missing), in table order: the order the lines are listed and added up in.
const QString kLinePrices = QStringLiteral(
    R"(SELECT l."机号", l."数量", (SELECT "零售价格" FROM spkcb WHERE "商品编号" = l."商品编号" ORDER BY rowid LIMIT 1)
       FROM splsjlb l %1 ORDER BY l.rowid)");

} // namespace

double OrderTable::goodsTotal(int machine)
{
    auto s = m_db.cached(kLinePrices.arg(QStringLiteral(R"(WHERE l."机号" = ?)")));
    s->bind(1, machine);
    double total = 0;
    while (s->next())
        total += s->real(1) * s->real(2);
    return total;
}

QHash<int, double> OrderTable::goodsTotals()
{
    auto s = m_db.cached(kLinePrices.arg(QString()));
    QHash<int, double> totals;
    while (s->next())
        totals[int(s->integer(0))] += s->real(1) * s->real(2);
    return totals;
}

std::optional<OrderLine> OrderTable::find(int machine, const QString &article)
{
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT rowid, "机号", "商品编号", "数量", "时间" FROM splsjlb
           WHERE "机号" = ? AND "商品编号" = ? ORDER BY rowid LIMIT 1)"));
    s->bindAll({machine, article});
    if (!s->next())
        return std::nullopt;
    return readLine(*s);
}

bool OrderTable::add(const OrderLine &l)
{
    auto s = m_db.cached(
        QStringLiteral(R"(INSERT INTO splsjlb ("机号", "商品编号", "数量", "时间") VALUES (?,?,?,?))"));
    return s->bindAll({l.machine, l.article, l.quantity, l.time}).run();
}

bool OrderTable::save(const OrderLine &l)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE splsjlb SET "机号"=?, "商品编号"=?, "数量"=?, "时间"=? WHERE rowid=?)"));
    return s->bindAll({l.machine, l.article, l.quantity, l.time, l.rowid}).run();
}

bool OrderTable::addToLine(qint64 rowid, double quantity, const QDateTime &when)
{
    auto s = m_db.cached(
        QStringLiteral(R"(UPDATE splsjlb SET "数量" = ifnull("数量", 0) + ?, "时间" = ? WHERE rowid = ?)"));
    return s->bindAll({quantity, when, rowid}).run();
}

bool OrderTable::removeLinesOf(int machine)
{
    auto s = m_db.cached(QStringLiteral(R"(DELETE FROM splsjlb WHERE "机号" = ?)"));
    return s->bind(1, machine).run();
}

bool OrderTable::settleLinesOf(int machine, qint64 journalId)
{
    auto moved = m_db.cached(QStringLiteral(
        R"(INSERT INTO khspb ("ID", "机号", "商品编号", "数量", "时间")
           SELECT ?1, "机号", "商品编号", "数量", "时间" FROM splsjlb WHERE "机号" = ?2 ORDER BY rowid)"));
    return moved->bindAll({journalId, machine}).run() && removeLinesOf(machine);
}

bool OrderTable::copyLinesToSales(int machine, qint64 journalRow)
{
    auto s = m_db.cached(QStringLiteral(
        R"(INSERT INTO khspb ("ID", "机号", "商品编号", "数量", "时间")
           SELECT j."ID", l."机号", l."商品编号", l."数量", l."时间" FROM splsjlb l, sjlszb j
           WHERE j.rowid = ?1 AND l."机号" = ?2 ORDER BY l.rowid)"));
    return s->bindAll({journalRow, machine}).run();
}

bool OrderTable::removeLinesOf(const QList<int> &machines)
{
    if (machines.isEmpty())
        return true;
    QString marks;
    for (qsizetype i = 0; i < machines.size(); ++i)
        marks += i ? QStringLiteral(",?") : QStringLiteral("?");
    auto s = m_db.cached(QStringLiteral(R"(DELETE FROM splsjlb WHERE "机号" IN (%1))").arg(marks));
    for (qsizetype i = 0; i < machines.size(); ++i)
        s->bind(int(i + 1), machines.at(i));
    return s->run();
}

bool OrderTable::moveLines(int fromMachine, int toMachine)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE splsjlb SET "机号" = ? WHERE "机号" = ?)"));
    return s->bindAll({toMachine, fromMachine}).run();
}

bool SalesTable::add(const GoodsSale &g)
{
    auto s = m_db.cached(QStringLiteral(
        R"(INSERT INTO khspb ("ID", "机号", "商品编号", "数量", "时间") VALUES (?,?,?,?,?))"));
    return s->bindAll({g.id ? QVariant(*g.id) : QVariant(), g.machine, g.article, g.quantity, g.time})
        .run();
}

bool SalesTable::mentions(const QString &article)
{
    auto s = m_db.cached(QStringLiteral(R"(SELECT 1 FROM khspb WHERE "商品编号" = ? LIMIT 1)"));
    s->bind(1, article);
    return s->next();
}

std::optional<Article> ArticleTable::byRowid(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral("SELECT ") + kArticleColumns + QStringLiteral(" FROM spkcb WHERE rowid = ?"));
    s->bind(1, rowid);
    if (!s->next())
        return std::nullopt;
    return readArticle(*s);
}

QStringList ArticleTable::numbers()
{
    QStringList result;
    auto s = m_db.cached(QStringLiteral(R"(SELECT "商品编号" FROM spkcb ORDER BY rowid)"));
    while (s->next())
        result.append(s->text(0));
    return result;
}

bool ArticleTable::lockAll()
{
    return m_db.lockTable(QStringLiteral("spkcb"));
}

bool ArticleTable::edit(const Article &a, double stockChange)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE spkcb SET "商品名称"=?, "进货价格"=?, "零售价格"=?, "库存数量" = ifnull("库存数量", 0) + ?
           WHERE rowid=?)"));
    return s->bindAll({a.name, a.cost, a.price, stockChange, a.rowid}).run();
}

bool OrderTable::mentionsArticle(const QString &article)
{
    auto s = m_db.cached(QStringLiteral(R"(SELECT 1 FROM splsjlb WHERE "商品编号" = ? LIMIT 1)"));
    s->bind(1, article);
    return s->next();
}

bool OrderTable::hasLinesOf(const QList<int> &machines)
{
    auto s = m_db.cached(QStringLiteral(R"(SELECT 1 FROM splsjlb WHERE "机号" = ? LIMIT 1)"));
    for (int m : machines) {
        s->bind(1, m);
        const bool found = s->next();
        s->reset();
        if (found)
            return true;
    }
    return false;
}

bool OrderTable::renumber(const QHash<int, int> &oldToNew)
{
    if (oldToNew.isEmpty())
        return true;
    // One statement, so a line moved to a number does not get moved again from it.
    QString cases;
    QString olds;
    for (auto it = oldToNew.cbegin(); it != oldToNew.cend(); ++it) {
        cases += QStringLiteral(" WHEN %1 THEN %2").arg(it.key()).arg(it.value());
        olds += (olds.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(it.key());
    }
    Statement s = m_db.prepare(QStringLiteral(R"(UPDATE splsjlb SET "机号" = CASE "机号")") + cases +
                               QStringLiteral(R"( END WHERE "机号" IN ()") + olds + QStringLiteral(")"));
    return s.isValid() && s.run();
}

qint64 SalesPeriodQuery::countBetween(const QDateTime &from, const QDateTime &to, int machine)
{
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT count(*) FROM khspb WHERE "时间" >= ?1 AND "时间" <= ?2 AND (?3 = 0 OR "机号" = ?3))"));
    s->bindAll({storedDateTime(from), storedDateTime(to), machine});
    return s->next() ? s->integer(0) : 0;
}

QList<SaleRecord> SalesPeriodQuery::pageBetween(const PeriodPlace &after, const QDateTime &to, int machine,
                                                int limit)
{
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT rowid, "机号", "时间", "商品编号", "数量" FROM khspb
           WHERE "时间" >= ?1 AND "时间" <= ?2 AND ("时间" > ?1 OR rowid > ?3) AND (?4 = 0 OR "机号" = ?4)
           ORDER BY "时间", rowid LIMIT ?5)"));
    s->bindAll({after.time, storedDateTime(to), after.rowid, machine, limit});
    QList<SaleRecord> result;
    result.reserve(limit);
    while (s->next())
        result.append({s->integer(0), int(s->integer(1)), s->text(2), s->text(3), s->real(4)});
    return result;
}

QList<SaleSum> SalesPeriodQuery::sumsBetween(const QDateTime &from, const QDateTime &before, const QDateTime &to,
                                             int machine)
{
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT "商品编号", "数量", CASE WHEN "机号" <= 0 THEN 1 ELSE 0 END, count(*) FROM khspb
           WHERE "时间" >= ?1 AND "时间" < ?2 AND "时间" <= ?3 AND (?4 = 0 OR "机号" = ?4)
           GROUP BY 1, 2, 3)"));
    s->bindAll({storedDateTime(from), storedDateTime(before), storedDateTime(to), machine});
    QList<SaleSum> result;
    while (s->next())
        result.append({s->text(0), s->real(1), s->integer(2) != 0, s->integer(3)});
    return result;
}
