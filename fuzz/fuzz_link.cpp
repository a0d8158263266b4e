// Feeds arbitrary bytes to the client link as one connection's arrivals: the first byte picks
// how the data is cut into arrivals (as TCP might), the framer makes messages of them (what it
// holds at the end is taken when the wait runs out), and
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
        QList<request::GoodsLine> lines;
        for (const request::GoodsItem &item : order.items) {
            check(item.quantity >= 1 && item.quantity <= request::GoodsOrder::kMaxQuantity);
            // Half of them as if the catalogue knew the article under another name.
            const bool known = lines.size() % 2 == 0;
            lines.append({item.article, known ? QStringLiteral("目录") : QString(), item.name, item.quantity,
                          double(10 - item.quantity)});
        }
        // Every item is shown, one line each.
        check(request::goodsOrderList(lines).count(QStringLiteral("\r\n")) == lines.size());
        break;
    }
    default:
        break;
    }
    // What the server relays back (chat) is one message: its only end mark is the last bytes.
    if (request::kindOf(message) == request::Kind::Chat) {
        const QByteArray relayed = wire::relayedChat(message);
        check(relayed.endsWith(wire::kEndMark));
        check(relayed.indexOf(wire::kEndMark) == relayed.size() - wire::kEndMark.size());
    }
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
        for (const QByteArray &m : framer.feed(arrival)) {
            delivered += m.size();
            readAsTheDispatcherDoes(m);
        }
        check(framer.pending() <= wire::kMaxMessage);
    }
    // The wait for the rest runs out.
    for (const QByteArray &m : framer.expire()) {
        delivered += m.size();
        readAsTheDispatcherDoes(m);
    }
    check(!framer.waiting());
    // Nothing is made up: messages never hold more than what came in.
    check(delivered <= bytes.size());
    return 0;
}
