#pragma once

#include <QString>
#include <expected>

// What an operation that can fail returns: its value, or the reason in the operator's
// language, ready to be shown. Operations with nothing to return use Result<>.
template <typename T = void>
using Result = std::expected<T, QString>;

// The failure of an operation: `return failure(QStringLiteral("…"));`
inline std::unexpected<QString> failure(QString reason)
{
    return std::unexpected<QString>(std::move(reason));
}
