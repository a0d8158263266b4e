#include "clock.h"

namespace {
QDateTime g_fixed;
}

QDateTime Clock::now()
{
    if (g_fixed.isValid())
        return g_fixed;
    // Stored times are local wall-clock times to the second.
    QDateTime t = QDateTime::currentDateTime();
    t.setTime(QTime(t.time().hour(), t.time().minute(), t.time().second()));
    return t;
}

void Clock::fix(const QDateTime &moment)
{
    g_fixed = moment;
}

void Clock::advanceSeconds(qint64 seconds)
{
    g_fixed = now().addSecs(seconds);
}

void Clock::release()
{
    g_fixed = QDateTime();
}
