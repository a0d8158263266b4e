#include "orders.h"

#include "store/database.h"
#include "store/goodstables.h"
#include "store/machinetable.h"

#include <algorithm>

namespace {

bool book(Database &db, int machine, const QList<OrderItem> &items, const QDateTime &when)
{
    Transaction t(db);
    // The machine's row stands for its order lines: two orders for one machine take turns,
    // and the second adds to the line the first has written.
    MachineTable machines(db);
    if (const std::optional<Machine> m = machines.byNumber(machine); m && !machines.lockRows({m->rowid}))
        return false;
    // Every counter moves stock in article-number order, so none waits for another in a
    // circle; the stock moves by the quantity from whatever it holds when the row is reached.
    ArticleTable articles(db);
    for (const OrderItem &item : items)
        if (!articles.takeFromStock(item.article, item.quantity))
            return false;
    OrderTable orders(db);
    for (const OrderItem &item : items) {
        const std::optional<OrderLine> line = orders.find(machine, item.article);
        if (!(line ? orders.addToLine(line->rowid, item.quantity, when)
                   : orders.add(OrderLine{0, machine, item.article, item.quantity, when})))
            return false;
    }
    return t.commit();
}

} // namespace

bool recordOrders(Database &db, int machine, const QList<OrderItem> &items, const QDateTime &when)
{
    QList<OrderItem> sorted = items;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const OrderItem &a, const OrderItem &b) { return a.article < b.article; });
    return book(db, machine, sorted, when);
}
