#pragma once

#include "rows.h"

#include <QList>

class Database;

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
    std::optional<OrderLine> find(int machine, const QString &article);
    bool add(const OrderLine &line);
    bool save(const OrderLine &line);
    bool removeLinesOf(int machine);
    bool moveLines(int fromMachine, int toMachine);

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
