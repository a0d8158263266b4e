#pragma once

#include "common/result.h"
#include "store/goodsrows.h"

#include <QList>
#include <QString>
#include <QStringList>

class Database;

// The shopping list of the goods purchase: article lines followed, while there are any, by
// a total line ("累计金额").
class ShoppingList final
{
public:
    struct Line
    {
        QString article;   // 商品编号
        QString name;      // 商品名称
        QString priceText; // unit price as the catalogue list shows it ("3.50元")
        double quantity = 0;
        double amount = 0;
    };

    static QString totalCaption() { return QStringLiteral("累计金额"); }

    // One more of `article`: its line's quantity goes up by one, or a new line is added.
    void add(const Article &article);
    // Removes the line shown in row `row` (0-based); the total line cannot be removed.
    bool remove(int row);

    bool isEmpty() const { return m_lines.isEmpty(); }
    const QList<Line> &lines() const { return m_lines; }
    // Rows as shown: the lines, then the total line; none when the list is empty.
    int rowCount() const { return m_lines.isEmpty() ? 0 : int(m_lines.size()) + 1; }
    bool isTotalRow(int row) const { return !m_lines.isEmpty() && row == int(m_lines.size()); }
    // The five column texts of a row: number, name, unit price, quantity, amount.
    QStringList row(int row) const;

    double total() const;
    // The total as shown: a plain number, "###0.00元" after a line was removed.
    QString totalText() const;

private:
    QList<Line> m_lines;
    bool m_totalFormatted = false;
};

namespace Purchase {

// The confirmation question for the list.
QString confirmationText(const ShoppingList &list);

// Books every line of `list` to machine number `machine`: each article's order line grows
// (or starts) and its stock goes down, all in one step. A line is matched to the catalogue
// by its name; where the name matches no article or several, by its article number.
Result<> confirm(Database &db, int machine, const ShoppingList &list);

} // namespace Purchase
