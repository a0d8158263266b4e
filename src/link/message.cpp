#include "message.h"

#include "common/cp936.h"

#include <utility>

namespace wire {

namespace {

// A field never holds the separator: a stray U+0000 in stored text would split it.
QByteArray encodeField(const QString &text)
{
    if (!text.contains(QChar(u'\0')))
        return cp936::encode(text);
    QString clean = text;
    clean.remove(QChar(u'\0'));
    return cp936::encode(clean);
}

// Calls `take(k, bytes)` for fields 1 to `limit` (all fields when limit < 0).
template <typename Take> void forEachField(const QByteArray &message, int limit, Take take)
{
    qsizetype at = message.indexOf(kSeparator);
    for (int k = 1; at >= 0 && (limit < 0 || k <= limit); ++k) {
        const qsizetype next = message.indexOf(kSeparator, at + 1);
        const qsizetype end = next >= 0 ? next : message.size();
        take(k, QByteArray::fromRawData(message.constData() + at + 1, end - at - 1));
        at = next;
    }
}

} // namespace

QByteArray message(const QString &tag, const QStringList &fields)
{
    QByteArray out = encodeField(tag);
    for (const QString &f : fields) {
        out += kSeparator;
        out += encodeField(f);
    }
    out += kEndMark;
    return out;
}

QByteArray listMessage(const QString &tag, const QStringList &fixed, const QStringList &elements)
{
    QByteArray out = encodeField(tag);
    for (const QString &f : fixed) {
        out += kSeparator;
        out += encodeField(f);
    }
    out += kSeparator;
    for (const QString &e : elements) {
        out += encodeField(e);
        out += kSeparator;
    }
    out += kEndMark;
    return out;
}

QByteArray command(const QString &word)
{
    return message(QStringLiteral("_comm"), {word});
}

QByteArray messageBox(const QString &text)
{
    return message(QStringLiteral("_msgb"), {text});
}

QByteArray relayedChat(const QByteArray &received)
{
    // Bytes, not decoded text: a PC's chat passes through as it was written, only cut.
    QByteArray out = tagOf(received);
    forEachField(received, kChatFields, [&, ended = false](int, const QByteArray &bytes) mutable {
        ended = ended || bytes.startsWith("OK$");
        if (ended)
            return;
        out += kSeparator;
        out += bytes;
    });
    out += kEndMark;
    return out;
}

QByteArray tagOf(const QByteArray &message)
{
    return message.left(5);
}

QString singleField(const QByteArray &message)
{
    QString field;
    forEachField(message, 1, [&](int, const QByteArray &bytes) { field = cp936::decode(bytes); });
    return field;
}

QStringList fixedFields(const QByteArray &message, int n)
{
    if (n <= 0)
        return {};
    QStringList fields(n);
    forEachField(message, n, [&](int k, const QByteArray &bytes) { fields[k - 1] = cp936::decode(bytes); });
    return fields;
}

QStringList allFields(const QByteArray &message)
{
    QStringList fields;
    fields.reserve(message.count(kSeparator));
    forEachField(message, -1, [&](int, const QByteArray &bytes) { fields.append(cp936::decode(bytes)); });
    return fields;
}

bool isKnownTag(const QByteArray &tag)
{
    static const QByteArray known[] = {"_talk", "_comm", "_good", "_gets", "_ereg",
                                       "_sets", "_vali", "_sele", "_prog"};
    for (const QByteArray &k : known)
        if (tag == k)
            return true;
    return false;
}

namespace {

// Whether a client message starts at `at`: "_" and a known tag, or the beginning of one cut
// off by the end of the data.
bool startsMessage(const QByteArray &data, qsizetype at)
{
    const qsizetype left = data.size() - at;
    if (left <= 0 || data.at(at) != '_')
        return false;
    const QByteArray head = QByteArray::fromRawData(data.constData() + at, qMin<qsizetype>(left, 5));
    if (head.size() == 5)
        return isKnownTag(head);
    for (const char *k : {"_talk", "_comm", "_good", "_gets", "_ereg", "_sets", "_vali", "_sele", "_prog"})
        if (QByteArray::fromRawData(k, 5).startsWith(head))
            return true;
    return false;
}

} // namespace

void Framer::reset()
{
    m_pending.clear();
    m_pending.squeeze();
    m_discarding = false;
}

void Framer::take(QList<QByteArray> &out, const QByteArray &data, qsizetype from, qsizetype to)
{
    if (m_discarding) {
        m_discarding = false; // the tail of an over-long message
        return;
    }
    if (to - from > kMaxMessage) {
        ++m_dropped;
        return;
    }
    out.append(data.mid(from, to - from));
}

QList<QByteArray> Framer::feed(const QByteArray &arrival)
{
    QList<QByteArray> out;
    if (arrival.isEmpty())
        return out;
    QByteArray data;
    if (startsMessage(arrival, 0)) {
        // A new message begins: what was held is whole, and an over-long one is over.
        if (!m_pending.isEmpty())
            take(out, m_pending, 0, m_pending.size());
        m_discarding = false;
        data = arrival;
    } else {
        data = m_pending + arrival;
    }
    m_pending.clear();

    qsizetype start = 0;
    for (qsizetype from = 0, mark; (mark = data.indexOf(kEndMark, from)) >= 0; from = mark + 1) {
        const qsizetype after = mark + kEndMark.size();
        if (after != data.size() && !startsMessage(data, after))
            continue; // data, not an end
        take(out, data, start, mark);
        start = after;
    }

    const qsizetype rest = data.size() - start;
    if (rest == 0 || m_discarding)
        return out;
    if (rest > kMaxMessage) {
        ++m_dropped;
        m_discarding = true;
        return out;
    }
    m_pending = start == 0 ? data : data.mid(start);
    return out;
}

QList<QByteArray> Framer::expire()
{
    m_discarding = false;
    QList<QByteArray> out;
    if (!m_pending.isEmpty())
        out.append(std::exchange(m_pending, QByteArray()));
    return out;
}

} // namespace wire
