#include "orders.h"

#include "store/database.h"
#include "store/goodstables.h"

bool recordOrder(Database &db, int machine, const QString &article, double quantity, const QDateTime &when)
{
    Transaction t(db);
    if (!ArticleTable(db).takeFromStock(article, quantity))
        return false;
    OrderTable orders(db);
    OrderLine line = orders.find(machine, article).value_or(OrderLine{0, machine, article, 0, {}});
    line.quantity += quantity;
    line.time = when;
    if (!(line.rowid ? orders.save(line) : orders.add(line)))
        return false;
    return t.commit();
}
