#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What the dispatcher reads out of a client message before anything is looked up: which
// request it is and, for a goods order, the items it may put to the operator. Pure functions
// of the bytes, so they can be tried with any input.
namespace request {

enum class Kind { Chat, OpenMachine, GoodsOrder, Query, Validate, Announce, ProgramList, Ignored };

Kind kindOf(const QByteArray &message);

struct GoodsItem
{
    QString article;
    QString name;
    int quantity = 0;
};

struct GoodsOrder
{
    QList<GoodsItem> items; // the items that may be ordered, in the client's order
    QStringList leftOut;    // "article name quantity" of each item whose quantity is not whole 1..999
    int received = 0;       // items in the message
    bool tooLong() const { return received > kMaxItems; }

    // An order of more items than a box can show and a customer can mean is refused whole.
    static constexpr int kMaxItems = 50;
    static constexpr int kMaxQuantity = 999;
};

// The triples at fields 1, 4, 7, …: goods number, goods name, quantity. A quantity is taken
// only as plain digits naming a whole number from 1 to kMaxQuantity ("-5", "0", "2.5",
// "1e3", "3个" are left out). A tooLong() order keeps no items.
GoodsOrder goodsOrderOf(const QByteArray &message);

// One item of a goods order as the operator is shown it: the catalogue's name for the article
// number (a PC may call article 00000003 anything), what the PC called it, the quantity and
// the stock that will be left.
struct GoodsLine
{
    QString article;
    QString name;     // the catalogue's; empty when the catalogue has no such article
    QString sentName; // the PC's
    int quantity = 0;
    double stockLeft = 0; // after this order (and its earlier lines of the same article)

    bool inCatalogue() const { return !name.isEmpty(); }
    // The name shown and recorded: the catalogue's, the PC's beside it when they differ.
    QString shownName() const;
};

// Per line its name padded with blanks to 50 bytes in code page 936 (one blank when the name
// is that long already), "数量：" and the quantity, the stock left ("库存不足" when it goes below
// zero) or that the catalogue has no such article, CR LF. Every line is shown: what is booked
// is exactly what the operator saw.
QString goodsOrderList(const QList<GoodsLine> &lines);

} // namespace request

using request::goodsOrderList;
