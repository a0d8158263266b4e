#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// The one source of "now" for the whole program. Tests fix it and move it on.
class Clock final
{
public:
    static QDateTime now();
    // Milliseconds that only ever run forward at the pace of real time, whatever the wall clock
    // is set to: for pauses that a changed system time must not shorten, and to see such a change.
    static qint64 monotonicMs();

    static void fix(const QDateTime &moment);
    // Time passes: the wall clock and the monotonic clock move together.
    static void advanceSeconds(qint64 seconds);
    // Someone sets the system time: only the wall clock moves (requires a fixed clock).
    static void setWallBy(qint64 seconds);
    static void release();
};

// Sees the system time being set: compares how far the wall clock moved with how far the
// monotonic clock did since the last look.
class ClockJumpWatch final
{
public:
    static constexpr qint64 kToleranceSeconds = 120;

    struct Jump
    {
        QDateTime before; // what the clock would read had nobody touched it
        QDateTime after;  // what it reads now
    };

    // A jump of more than kToleranceSeconds either way since the last call; the first call
    // only takes the bearings.
    std::optional<Jump> check();
    // "从yyyy-MM-dd HH:mm:ss 到yyyy-MM-dd HH:mm:ss"
    static QString describe(const Jump &jump);

private:
    QDateTime m_wall;
    qint64 m_monotonic = 0;
};
