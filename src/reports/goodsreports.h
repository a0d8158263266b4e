#pragma once

#include "reportrequest.h"
#include "reporttext.h"
#include "sheet.h"
#include "store/goodstables.h"
#include "store/journaltable.h"

#include <QHash>
#include <QList>
#include <QStringList>

// The catalogue as the reports value sales: the first article of each number, with the
// prices it has now (a sale's own prices are not kept).
class PriceList final
{
public:
    PriceList() = default;
    explicit PriceList(const QList<Article> &articles);
    // Empty for an article missing from the catalogue.
    const Article *find(const QString &number) const;

private:
    QHash<QString, Article> m_articles;
};

// One line of the goods sales report.
struct GoodsLine
{
    SaleRecord sale;
    QString name;           // empty when the article is missing from the catalogue
    qint64 priceCents = 0;  // 零售价格
    qint64 amountCents = 0; // 数量 × 零售价格
    qint64 costCents = 0;   // 数量 × 进货价格
};

// The goods sales report ("商品销售统计表").
class GoodsSalesReport final
{
public:
    explicit GoodsSalesReport(PriceList prices = {}) : m_prices(std::move(prices)) {}

    void add(const SaleRecord &sale);

    const QList<GoodsLine> &lines() const { return m_lines; }
    qint64 incomeCents() const { return m_income; }
    qint64 expenseCents() const { return m_expense; }

    // The line as printed, without its line break.
    static QString lineText(const GoodsLine &line);
    StyledText text(const QDate &today) const;

    // The lines for a spreadsheet, one row per sale.
    ReportSheet sheet(const ReportPeriod &period) const;

private:
    PriceList m_prices;
    QList<GoodsLine> m_lines;
    qint64 m_income = 0;
    qint64 m_expense = 0;
};

// The income report ("收入统计表").
class IncomeReport final
{
public:
    explicit IncomeReport(PriceList prices = {}) : m_prices(std::move(prices)) {}

    void addSession(const JournalRecord &row);
    // Sales of one article in one quantity, added up by the store.
    void addSales(const SaleSum &sales);

    qint64 minutes() const { return m_minutes; }
    qint64 dueCents() const { return m_due; }
    qint64 receivedCents() const { return m_received; }
    qint64 goodsSalesCents() const { return m_goodsSales; }
    qint64 goodsCostCents() const { return m_goodsCost; }
    qint64 counterSalesCents() const { return m_counterSales; }
    // What the café took in: the money received for sessions (goods at machines included)
    // and over the counter, less what the goods cost.
    qint64 totalCents() const { return m_received + m_counterSales - m_goodsCost; }

    StyledText text(const QDate &today) const;
    // The figures for a spreadsheet, one row each.
    ReportSheet sheet(const ReportPeriod &period) const;

private:
    PriceList m_prices;
    qint64 m_minutes = 0;
    qint64 m_due = 0;
    qint64 m_received = 0;
    qint64 m_goodsSales = 0;
    qint64 m_goodsCost = 0;
    qint64 m_counterSales = 0;
};
