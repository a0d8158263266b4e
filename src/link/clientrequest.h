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

// The text of a goods order for the operator: per item its name padded with blanks to 50
// bytes in code page 936 (one blank when the name is that long already), "数量：", the
// quantity, CR LF; after kListed items only a line "……等共" + count + "项".
QString goodsOrderList(const QStringList &names, const QStringList &quantities);
inline constexpr int kListed = 20;

} // namespace request

using request::goodsOrderList;
