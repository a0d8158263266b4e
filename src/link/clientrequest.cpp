#include "clientrequest.h"

#include "common/cp936.h"
#include "common/numbers.h"
#include "message.h"

namespace request {

namespace {

constexpr int kGoodsNameWidth = 50;

// 1..999 written as plain digits; 0 for anything else.
int wholeQuantity(const QString &text)
{
    if (text.isEmpty() || text.size() > 6)
        return 0;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return 0;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value <= GoodsOrder::kMaxQuantity ? value : 0;
}

} // namespace

Kind kindOf(const QByteArray &message)
{
    const QByteArray tag = wire::tagOf(message);
    if (tag == "_talk")
        return Kind::Chat;
    if (tag == "_comm")
        return Kind::OpenMachine;
    if (tag == "_good")
        return Kind::GoodsOrder;
    if (tag == "_gets")
        return Kind::Query;
    if (tag == "_vali")
        return Kind::Validate;
    if (tag == "_sele")
        return Kind::Announce;
    if (tag == "_prog")
        return Kind::ProgramList;
    return Kind::Ignored; // "_ereg", "_sets" and anything else
}

GoodsOrder goodsOrderOf(const QByteArray &message)
{
    GoodsOrder order;
    const qsizetype separators = message.count(wire::kSeparator);
    order.received = int((separators + 2) / 3);
    if (order.tooLong())
        return order; // not even decoded
    const QStringList fields = wire::allFields(message);
    for (qsizetype k = 0; k < fields.size(); k += 3) {
        const QString &quantity = fields.value(k + 2);
        const int q = wholeQuantity(quantity);
        if (q == 0)
            order.leftOut << fields.at(k) + u' ' + fields.value(k + 1) + u' ' + quantity;
        else
            order.items.append({fields.at(k), fields.value(k + 1), q});
    }
    return order;
}

QString GoodsLine::shownName() const
{
    if (!inCatalogue())
        return sentName;
    if (sentName == name)
        return name;
    return name + QStringLiteral("（※客户端写作：") + sentName + QStringLiteral("）");
}

QString goodsOrderList(const QList<GoodsLine> &lines)
{
    QString list;
    for (const GoodsLine &line : lines) {
        const QString name = line.shownName();
        const int bytes = cp936::byteLength(name);
        const int blanks = bytes < kGoodsNameWidth ? kGoodsNameWidth - bytes : 1;
        list += name + QString(blanks, u' ') + QStringLiteral("数量：") + QString::number(line.quantity);
        if (!line.inCatalogue())
            list += QStringLiteral("    ※商品目录中没有编号") + line.article;
        else if (line.stockLeft < 0)
            list += QStringLiteral("    库存不足（剩余") + plainNumber(line.stockLeft) + QStringLiteral("）");
        else
            list += QStringLiteral("    剩余库存：") + plainNumber(line.stockLeft);
        list += QStringLiteral("\r\n");
    }
    return list;
}

} // namespace request
