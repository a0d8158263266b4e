#pragma once

#include "common/result.h"

#include <QList>
#include <QStringList>

// Comma-separated text as spreadsheet programs read it: UTF-8 with a byte-order mark (so the
// Chinese reads right), fields quoted where they must be, lines ended by CR LF.
QByteArray csvBytes(const QList<QStringList> &rows);
// Writes the file whole or not at all.
Result<> saveCsv(const QString &path, const QList<QStringList> &rows);
