#pragma once

#include <QDateTime>

// The one source of "now" for the whole program. Tests fix it and move it on.
class Clock final
{
public:
    static QDateTime now();

    static void fix(const QDateTime &moment);
    static void advanceSeconds(qint64 seconds);
    static void release();
};
