#pragma once

#include <QtGlobal>

// How many messages one connection may send: a bucket of kBurst messages refilled at kPerSecond.
// Beyond it messages are dropped and counted; a connection that goes on beyond it for
// kCloseAfter seconds in a row is to be closed. Times are milliseconds on a steady clock,
// given by the caller.
class MessageRate final
{
public:
    static constexpr int kPerSecond = 20;
    static constexpr int kBurst = 40;
    static constexpr int kCloseAfter = 5; // seconds, each with messages dropped

    enum class Verdict { Take, Drop, Close };

    Verdict admit(qint64 nowMs);

    // Messages dropped on this connection.
    qint64 dropped() const { return m_dropped; }

private:
    double m_tokens = kBurst;
    qint64 m_refilled = -1; // when the tokens were last counted; -1 before the first message
    qint64 m_dropped = 0;
    qint64 m_dropSecond = -1; // the last second with a message dropped
    int m_dropSeconds = 0;    // consecutive seconds with messages dropped, up to m_dropSecond
};
