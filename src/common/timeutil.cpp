#include "timeutil.h"

namespace {
qint64 wholeMinutes(const QDateTime &t)
{
    // Floor division, so moments before the epoch cut down as well.
    const qint64 secs = t.toSecsSinceEpoch();
    return secs >= 0 ? secs / 60 : -((-secs + 59) / 60);
}
} // namespace

qint64 minutesBetween(const QDateTime &from, const QDateTime &to)
{
    return wholeMinutes(to) - wholeMinutes(from);
}
