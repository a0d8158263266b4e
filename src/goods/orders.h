#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

class Database;

// One article of an order and how many of it.
struct OrderItem
{
    QString article; // 商品编号
    double quantity = 0;
};

// Records goods ordered for machine `machine`: lowers each article's stock (no lower bound;
// an article missing from the catalogue changes no stock) and adds its quantity to the
// machine's line for the article, or starts one. All or nothing; run once more when another
// counter's order got in the way.
bool recordOrders(Database &db, int machine, const QList<OrderItem> &items, const QDateTime &when);
