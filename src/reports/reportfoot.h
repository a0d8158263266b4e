#pragma once

#include "reportrequest.h"
#include "reporttext.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <optional>

// A change of the system clock as the trail keeps it ("从… 到…").
struct ClockChange
{
    QDateTime before; // what the clock would have read untouched
    QDateTime after;  // what it read after the change
};

// The change a "系统时间被改动" entry of the trail describes; empty for any other text.
std::optional<ClockChange> clockChangeFrom(const QString &details);

// The foot lines of a report over `period`: "系统时间被改动：从… 到…" for every change the
// period saw on either side (a clock set back over midnight is on both days), oldest first.
// Figures of such a period were billed by a clock somebody moved.
QStringList clockChangeFoot(const QList<ClockChange> &changes, const ReportPeriod &period);

// `text` with the foot lines under it.
StyledText withFoot(StyledText text, const QStringList &foot);
