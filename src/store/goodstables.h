#pragma once

#include "goodsrows.h"

#include <QHash>
#include <QList>
#include <QStringList>

class Database;
struct PeriodPlace;

// spkcb: the goods catalogue with its stock.
class ArticleTable final
{
public:
    explicit ArticleTable(Database &db) : m_db(db) {}

    QList<Article> all();
    std::optional<Article> byNumber(const QString &number);
    std::optional<Article> byName(const QString &name);
    bool add(const Article &article);
    bool save(const Article &article);
    bool remove(qint64 rowid);
    // Lowers the stock of the first article numbered `number` (no lower bound); an article
    // missing from the catalogue changes nothing.
    bool takeFromStock(const QString &number, double quantity);
    std::optional<Article> byRowid(qint64 rowid);
    // The whole catalogue against other counters' writes, until the transaction ends.
    bool lockAll();
    // Every 商品编号 in table order (for the next free article number).
    QStringList numbers();
    // Writes name and prices of the row `article.rowid` and moves its stock by `stockChange`
    // from whatever it holds now; the number and other changes to the stock stay.
    bool edit(const Article &article, double stockChange);

private:
    std::optional<Article> first(const QString &field, const QString &value);
    Database &m_db;
};

// A goods line of a running session valued from the catalogue.
struct PricedLine
{
    OrderLine line;
    bool inCatalogue = false; // lines missing from the catalogue add nothing
    QString name;
    double price = 0;
};

// Sum of quantity × retail price over the lines, in their order; lines missing from the
// catalogue add nothing.
double pricedTotal(const QList<PricedLine> &lines);

// splsjlb: goods ordered for running sessions.
class OrderTable final
{
public:
    explicit OrderTable(Database &db) : m_db(db) {}

    QList<OrderLine> linesOf(int machine);
    // The lines of a machine in table order, each with the first catalogue row of its number.
    QList<PricedLine> pricedLinesOf(int machine);
    // Sum of quantity × retail price over the machine's lines.
    double goodsTotal(int machine);
    // The same for every machine with lines, by machine number, in one read: for a pass over
    // all machines.
    QHash<int, double> goodsTotals();
    std::optional<OrderLine> find(int machine, const QString &article);
    bool add(const OrderLine &line);
    bool save(const OrderLine &line);
    // Adds `quantity` to the line `rowid` from whatever it holds now, and stamps it `when`.
    bool addToLine(qint64 rowid, double quantity, const QDateTime &when);
    bool removeLinesOf(int machine);
    bool moveLines(int fromMachine, int toMachine);
    // The machine's lines become goods paid for (khspb) under the journal row `journalId`,
    // in table order, as they stand.
    bool settleLinesOf(int machine, qint64 journalId);
    // The same in two steps: the lines become goods paid for under the ID of the journal row
    // whose order key is `journalRow`, and later the lines of all the machines settled go.
    bool copyLinesToSales(int machine, qint64 journalRow);
    bool removeLinesOf(const QList<int> &machines);
    // Whether any line names the article / any of the machines.
    bool mentionsArticle(const QString &article);
    bool hasLinesOf(const QList<int> &machines);
    // Gives the lines of every machine `old` in the map its new number, all at once.
    bool renumber(const QHash<int, int> &oldToNew);

private:
    Database &m_db;
};

// khspb: goods paid for. Rows are only ever added.
class SalesTable final
{
public:
    explicit SalesTable(Database &db) : m_db(db) {}

    bool add(const GoodsSale &sale);
    // Whether any sale names the article (such articles can no longer be deleted).
    bool mentions(const QString &article);

private:
    Database &m_db;
};

// A goods sale as stored, its time as the stored text, for the reports.
struct SaleRecord
{
    qint64 rowid = 0;
    int machine = 0;     // 机号; -1 for a counter sale
    QString time;        // 时间, "yyyy-MM-dd HH:mm:ss"
    QString article;     // 商品编号
    double quantity = 0; // 数量
};

// Sales of one article in one quantity, at the machines or over the counter, added up.
struct SaleSum
{
    QString article;      // 商品编号
    double quantity = 0;  // 数量 of each sale
    bool counter = false; // 机号 <= 0
    qint64 sales = 0;     // how many
};

// khspb read by period for the reports.
class SalesPeriodQuery final
{
public:
    explicit SalesPeriodQuery(Database &db) : m_db(db) {}

    // Sales whose 时间 lies between `from` and `to`, both included; `machine` 0 takes every
    // machine and the counter, another number only that machine's sales.
    qint64 countBetween(const QDateTime &from, const QDateTime &to, int machine);
    // The next `limit` of those sales after `after`, in order of 时间 and then table order.
    QList<SaleRecord> pageBetween(const PeriodPlace &after, const QDateTime &to, int machine, int limit);
    // The sales from `from` up to `before` (excluded) and `to` (included), added up by article
    // and quantity: a long period is read window by window without a row of its own each.
    QList<SaleSum> sumsBetween(const QDateTime &from, const QDateTime &before, const QDateTime &to,
                               int machine);

private:
    Database &m_db;
};
