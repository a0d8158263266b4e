#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The wire format of the client link: a five-character tag, then fields each introduced by
// the separator 0x00; everything the server sends ends with the field "OK$". Text travels in
// code page 936. A second byte of a Chinese character may be an ASCII character, but never
// 0x00, so messages are split on 0x00 bytes first and only then decoded.
namespace wire {

inline constexpr char kSeparator = '\0';
// The separator and trailer that close every server message; also taken as the end mark of
// a client message when a client sends it.
inline const QByteArray kEndMark = QByteArrayLiteral("\0OK$");
// A client message may be at most this long; longer data is dropped.
inline constexpr qsizetype kMaxMessage = 64 * 1024;

// tag, then each field introduced by a separator, then separator and "OK$".
QByteArray message(const QString &tag, const QStringList &fields);
// A list message: tag, the fixed fields, then every element followed by a separator, then the
// usual separator and "OK$" — so an empty field stands just before the trailer.
QByteArray listMessage(const QString &tag, const QStringList &fixed, const QStringList &elements);
// "_comm" with a command word.
QByteArray command(const QString &word);
// "_msgb" with a text for the customer.
QByteArray messageBox(const QString &text);
// A received chat message passed on to others, rebuilt from its fields: the tag, fields 1 to
// kChatFields up to the sender's own end (a field that starts with "OK$" is its trailer), then
// separator and "OK$". Nothing the sender wrote can end the message early or add another.
QByteArray relayedChat(const QByteArray &received);
inline constexpr int kChatFields = 11;

// The tag of a received message: its first five characters. Known tags are ASCII, so the
// first five bytes are compared; a message that does not start with five ASCII bytes has no
// tag that any handler knows.
QByteArray tagOf(const QByteArray &message);

// The three ways a handler splits a received message; field k is the text between the k-th
// and the (k+1)-th separator, a missing field reads as empty text.
// Field 1 only.
QString singleField(const QByteArray &message);
// Fields 1 to n; fields beyond n are dropped.
QStringList fixedFields(const QByteArray &message, int n);
// Every field (as many as there are separators).
QStringList allFields(const QByteArray &message);

// The tags a client message may start with.
bool isKnownTag(const QByteArray &tag);

// Cuts the data arriving on one connection into messages. TCP may join sends and split them, so
// a message ends at an end mark (0x00 "OK$") that is followed by the start of another message
// ("_" and a known tag) or by the end of the data; any other "\0OK$" is data (a chat text may
// start with "OK$"). Bytes without an end mark are held for the rest of their message; whoever
// feeds the framer decides how long to wait and then calls expire(), which takes what is held
// as one message without a trailer, as older clients send them. An arrival that starts a new
// message also ends what was held. Nothing longer than kMaxMessage is ever held: such data is
// dropped, up to its end mark (or the expiry of the wait).
class Framer final
{
public:
    // Feeds one arrival; returns the complete messages, end marks removed.
    QList<QByteArray> feed(const QByteArray &arrival);
    // The wait for the rest is over: what is held, as one message (none when nothing is held).
    QList<QByteArray> expire();

    // Bytes held waiting for the rest of a message.
    qsizetype pending() const { return m_pending.size(); }
    // Whether the framer waits for more: bytes held, or the rest of an over-long message.
    bool waiting() const { return !m_pending.isEmpty() || m_discarding; }
    // Messages dropped for being too long, since construction.
    int dropped() const { return m_dropped; }
    // Forgets what is held (the connection has gone).
    void reset();

private:
    void take(QList<QByteArray> &out, const QByteArray &data, qsizetype from, qsizetype to);

    QByteArray m_pending;
    bool m_discarding = false; // inside an over-long message: drop until its end
    int m_dropped = 0;
};

} // namespace wire
