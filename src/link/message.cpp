#include "message.h"

#include "common/cp936.h"

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

QByteArray relayed(const QByteArray &received)
{
    return received + kEndMark;
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

QList<QByteArray> Framer::feed(const QByteArray &arrival, bool more)
{
    QList<QByteArray> out;
    qsizetype searchFrom = qMax<qsizetype>(0, m_pending.size() - (kEndMark.size() - 1));
    const QByteArray data = m_pending.isEmpty() ? arrival : m_pending + arrival;
    m_pending.clear();

    qsizetype start = 0;
    for (qsizetype mark; (mark = data.indexOf(kEndMark, searchFrom)) >= 0;) {
        m_usesEndMark = true;
        if (m_discarding) {
            m_discarding = false; // the tail of an over-long message
        } else if (mark - start > kMaxMessage) {
            ++m_dropped;
        } else {
            out.append(data.mid(start, mark - start));
        }
        start = mark + kEndMark.size();
        searchFrom = start;
    }

    const qsizetype rest = data.size() - start;
    if (rest == 0)
        return out;
    // Without end marks a message ends with its arrival, unless the read was cut off.
    const bool continues = m_usesEndMark || more;
    if (m_discarding) {
        m_discarding = continues;
        return out;
    }
    if (rest > kMaxMessage) {
        ++m_dropped;
        m_discarding = continues;
        return out;
    }
    if (continues)
        m_pending = data.mid(start);
    else
        out.append(data.mid(start));
    return out;
}

} // namespace wire
