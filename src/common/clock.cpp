#include "clock.h"

#include <QElapsedTimer>
#include <cstdlib>

namespace {
QDateTime g_fixed;
// While fixed, the monotonic clock is the wall clock less the changes made to it by hand.
qint64 g_wallSetByMs = 0;

QElapsedTimer &elapsed()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer;
}
} // namespace

QDateTime Clock::now()
{
    if (g_fixed.isValid())
        return g_fixed;
    // Stored times are local wall-clock times to the second.
    QDateTime t = QDateTime::currentDateTime();
    t.setTime(QTime(t.time().hour(), t.time().minute(), t.time().second()));
    return t;
}

qint64 Clock::monotonicMs()
{
    if (g_fixed.isValid())
        return g_fixed.toMSecsSinceEpoch() - g_wallSetByMs;
    return elapsed().elapsed();
}

void Clock::fix(const QDateTime &moment)
{
    g_fixed = moment;
}

void Clock::advanceSeconds(qint64 seconds)
{
    g_fixed = now().addSecs(seconds);
}

void Clock::setWallBy(qint64 seconds)
{
    g_fixed = now().addSecs(seconds);
    g_wallSetByMs += seconds * 1000;
}

void Clock::release()
{
    g_fixed = QDateTime();
    g_wallSetByMs = 0;
}

std::optional<ClockJumpWatch::Jump> ClockJumpWatch::check()
{
    const QDateTime wall = Clock::now();
    const qint64 monotonic = Clock::monotonicMs();
    std::optional<Jump> jump;
    if (m_wall.isValid()) {
        const QDateTime expected = m_wall.addMSecs(monotonic - m_monotonic);
        if (std::abs(expected.msecsTo(wall)) > kToleranceSeconds * 1000)
            jump = Jump{expected, wall};
    }
    m_wall = wall;
    m_monotonic = monotonic;
    return jump;
}

QString ClockJumpWatch::describe(const Jump &jump)
{
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    return QStringLiteral("从%1 到%2").arg(jump.before.toString(format), jump.after.toString(format));
}
