// Feeds arbitrary bytes to the client link as one connection's arrivals: the first byte picks
// how the data is cut into arrivals (as TCP might), the framer makes messages of them, and
// every message goes through what the dispatcher reads out of a request. Checks what must
// hold whatever a client sends.
#include "link/clientrequest.h"
#include "link/message.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void readAsTheDispatcherDoes(const QByteArray &message)
{
    check(message.size() <= wire::kMaxMessage);
    const QStringList three = wire::fixedFields(message, 3);
    check(three.size() == 3);
    check(wire::fixedFields(message, 11).size() == 11);
    const QStringList all = wire::allFields(message);
    check(all.size() == message.count(wire::kSeparator));
    if (!all.isEmpty())
        check(wire::singleField(message) == all.first());

    switch (request::kindOf(message)) {
    case request::Kind::GoodsOrder: {
        const request::GoodsOrder order = request::goodsOrderOf(message);
        if (order.tooLong()) {
            check(order.items.isEmpty());
            break;
        }
        check(order.items.size() + order.leftOut.size() == order.received);
        QStringList names;
        QStringList quantities;
        for (const request::GoodsItem &item : order.items) {
            check(item.quantity >= 1 && item.quantity <= request::GoodsOrder::kMaxQuantity);
            names << item.name;
            quantities << QString::number(item.quantity);
        }
        const QString list = goodsOrderList(names, quantities);
        if (names.size() > request::kListed)
            check(list.endsWith(QStringLiteral("……等共%1项\r\n").arg(names.size())));
        break;
    }
    default:
        break;
    }
    // What the server relays back (chat) is the message and one end mark.
    check(wire::relayed(message).endsWith(wire::kEndMark));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // Arrivals of 1 to 256 bytes, or the whole input as one arrival.
    const size_t cut = data[0] == 0 ? size : size_t(data[0]);
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    wire::Framer framer;
    qsizetype delivered = 0;
    for (qsizetype at = 0; at < bytes.size(); at += qsizetype(cut)) {
        const QByteArray arrival = bytes.mid(at, qsizetype(cut));
        for (const QByteArray &m : framer.feed(arrival, false)) {
            delivered += m.size();
            readAsTheDispatcherDoes(m);
        }
        check(framer.pending() <= wire::kMaxMessage);
    }
    // Nothing is made up: messages never hold more than what came in.
    check(delivered <= bytes.size());
    return 0;
}
