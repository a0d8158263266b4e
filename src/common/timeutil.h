#pragma once

#include <QDateTime>

// Minute boundaries crossed from `from` to `to`, both cut down to the whole minute;
// negative when `from` lies after `to`.
qint64 minutesBetween(const QDateTime &from, const QDateTime &to);
