#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// Rows as the program reads and writes them: `rowid` names the stored row; table order is
// rowid order.

// spkcb: an article of the goods catalogue.
struct Article
{
    qint64 rowid = 0;
    QString number;   // 商品编号
    QString name;     // 商品名称
    double cost = 0;  // 进货价格
    double price = 0; // 零售价格
    double stock = 0; // 库存数量
};

// splsjlb: goods ordered for a running session.
struct OrderLine
{
    qint64 rowid = 0;
    int machine = 0;     // 机号
    QString article;     // 商品编号
    double quantity = 0; // 数量
    QDateTime time;      // 时间
};

// khspb: one goods line paid for.
struct GoodsSale
{
    std::optional<qint64> id; // ID of the session; empty for a counter sale
    int machine = 0;          // 机号; -1 for a counter sale
    QString article;          // 商品编号
    double quantity = 0;      // 数量
    QDateTime time;           // 时间
};
