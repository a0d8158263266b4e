#pragma once

#include "common/loglimit.h"

#include <QLoggingCategory>
#include <optional>

// Silent failures of the client link ("corvana.link").
Q_DECLARE_LOGGING_CATEGORY(lcLink)

// A line that a PC can cause, of `kind`, for the PC at `address`: the tail to end it with
// (how many like it were left out), or nothing when this one is left out (see LogLimit).
inline std::optional<QString> pcLine(const char *kind, const QString &address)
{
    const std::optional<int> leftOut = LogLimit::shared().allow(QStringLiteral("link.") + QLatin1StringView(kind), address);
    if (!leftOut)
        return std::nullopt;
    return LogLimit::leftOutNote(*leftOut);
}
