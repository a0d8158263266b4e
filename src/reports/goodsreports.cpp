#include "goodsreports.h"

#include "common/numbers.h"
#include "reportrequest.h"
#include "store/journaltable.h"

#include <cmath>

PriceList::PriceList(const QList<Article> &articles)
{
    for (const Article &a : articles)
        if (!m_articles.contains(a.number))
            m_articles.insert(a.number, a);
}

const Article *PriceList::find(const QString &number) const
{
    const auto it = m_articles.constFind(number);
    return it == m_articles.constEnd() ? nullptr : &*it;
}

namespace {
// Each line's amount is money, so it is rounded to the cent before it is summed.
qint64 lineCents(double quantity, double price)
{
    return std::llround(quantity * price * 100);
}
} // namespace

void GoodsSalesReport::add(const SaleRecord &sale)
{
    GoodsLine line{sale, {}, 0, 0, 0};
    if (const Article *a = m_prices.find(sale.article)) {
        line.name = a->name;
        line.priceCents = toCents(a->price);
        line.amountCents = lineCents(sale.quantity, a->price);
        line.costCents = lineCents(sale.quantity, a->cost);
    }
    m_income += line.amountCents;
    m_expense += line.costCents;
    m_lines.append(line);
}

QString GoodsSalesReport::lineText(const GoodsLine &line)
{
    const SaleRecord &s = line.sale;
    const QString label =
        s.machine > 0 ? QString::number(s.machine) + QStringLiteral("号机") : QStringLiteral("零售");
    return alignLeft(label, 10) + QStringLiteral("  ") + s.time.left(16) + QStringLiteral("       ") +
           s.article + padColumns(line.name, 20) + alignRight(centsOneDecimal(line.priceCents), 12) +
           alignRight(plainNumber(s.quantity), 16) + alignRight(centsOneDecimal(line.amountCents), 12);
}

StyledText GoodsSalesReport::text(const QDate &today) const
{
    StyledText t;
    t.append({QStringLiteral("    机号    时间       商品编号     商品名称   商品单价   商品数量   总金额\n"),
              12, true});
    QString body = thinRule() + u'\n';
    for (const GoodsLine &line : m_lines)
        body += lineText(line) + u'\n';
    body += thickRule() + u'\n';
    t.append({body, 9});
    t.append({QStringLiteral("   总支出金额：") + centsOneDecimal(m_expense) +
                  QStringLiteral(" 总收入金额：") + centsOneDecimal(m_income) + QStringLiteral(" 总利润：") +
                  centsOneDecimal(m_income - m_expense) + QStringLiteral("    ") + reportDate(today),
              10, false, true, true});
    return t;
}

ReportSheet GoodsSalesReport::sheet(const ReportPeriod &period) const
{
    ReportSheet sheet{QStringLiteral("商品销售统计表"),
                      sheetPeriod(period.from, period.to),
                      {QStringLiteral("机号"), QStringLiteral("时间"), QStringLiteral("商品编号"),
                       QStringLiteral("商品名称"), QStringLiteral("商品单价"), QStringLiteral("商品数量"),
                       QStringLiteral("总金额")},
                      {},
                      {8, 17, 11, 24, 10, 10, 10}};
    sheet.rows.reserve(m_lines.size());
    const SheetCell counter = SheetCell::textCell(QStringLiteral("零售"));
    for (const GoodsLine &line : m_lines) {
        const SaleRecord &s = line.sale;
        sheet.rows.append({s.machine > 0 ? SheetCell::number(s.machine) : counter, SheetCell::moment(s.time),
                           SheetCell::textCell(s.article), SheetCell::textCell(line.name),
                           SheetCell::money(double(line.priceCents) / 100), SheetCell::number(s.quantity),
                           SheetCell::money(double(line.amountCents) / 100)});
    }
    return sheet;
}

void IncomeReport::addSession(const JournalRecord &row)
{
    const auto start = storedMinute(row.start);
    const auto end = storedMinute(row.end);
    if (start && end)
        m_minutes += *end - *start;
    m_due += toCents(row.due);
    m_received += toCents(row.received);
}

void IncomeReport::addSales(const SaleSum &sales)
{
    const Article *a = m_prices.find(sales.article);
    if (!a)
        return; // missing from the catalogue: worth nothing
    // Valued line by line, as the goods report values them.
    const qint64 retail = lineCents(sales.quantity, a->price) * sales.sales;
    m_goodsSales += retail;
    m_goodsCost += lineCents(sales.quantity, a->cost) * sales.sales;
    if (sales.counter) // what the goods report lists as "零售"
        m_counterSales += retail;
}

ReportSheet IncomeReport::sheet(const ReportPeriod &period) const
{
    ReportSheet sheet{QStringLiteral("收入统计表"),
                      sheetPeriod(period.from, period.to),
                      {QStringLiteral("项目"), QStringLiteral("金额")},
                      {},
                      {16, 12}};
    sheet.rows = {
        {SheetCell::textCell(QStringLiteral("总共上机时间（分钟）")), SheetCell::number(double(m_minutes))}};
    const std::pair<const char16_t *, qint64> sums[] = {
        {u"总应收金额", m_due},        {u"总实收金额", m_received}, {u"商品零售", m_goodsSales},
        {u"柜台零售", m_counterSales}, {u"商品支出", m_goodsCost},  {u"商品收入", m_goodsSales - m_goodsCost},
        {u"总收入", totalCents()}};
    for (const auto &[label, cents] : sums)
        sheet.rows.append(
            {SheetCell::textCell(QString::fromUtf16(label)), SheetCell::money(double(cents) / 100)});
    return sheet;
}

StyledText IncomeReport::text(const QDate &today) const
{
    StyledText t;
    t.append({QStringLiteral("      总共上机时间：") + QString::number(m_minutes / 60) +
                  QStringLiteral("小时") + QString::number(m_minutes % 60) + QStringLiteral("分钟\n"),
              12});
    t.append({QStringLiteral("      总应收金额：  ") + centsOneDecimal(m_due) +
                  QStringLiteral("\n      总实收金额  ： ") + centsOneDecimal(m_received) +
                  QStringLiteral("\n        其中      ： ") + QStringLiteral("\n         商品零售 ： ") +
                  centsOneDecimal(m_goodsSales) + QStringLiteral("\n         柜台零售 ： ") +
                  centsOneDecimal(m_counterSales) + QStringLiteral("\n         商品支出 ： ") +
                  centsOneDecimal(m_goodsCost) + QStringLiteral("\n         商品收入 ： ") +
                  centsOneDecimal(m_goodsSales - m_goodsCost) + u'\n',
              12});
    t.append({thinRule() + u'\n', 9});
    t.append({QStringLiteral("         总收入 ： ") + centsOneDecimal(totalCents()) + u'\n', 14, true});
    t.append({thickRule() + u'\n', 9, true});
    t.append({reportDate(today), 10, false, true, true});
    return t;
}
