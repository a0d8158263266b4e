#pragma once

#include "common/result.h"

#include <QList>
#include <QStringList>

// Comma-separated text as spreadsheet programs read it: UTF-8 with a byte-order mark (so the
// Chinese reads right), fields quoted where they must be, lines ended by CR LF.
QByteArray csvBytes(const QList<QStringList> &rows);
// Writes the file whole or not at all.
Result<> saveCsv(const QString &path, const QList<QStringList> &rows);

// One field as it stands in a line: quoted when it holds a comma, a quote or a line break.
QString csvField(const QString &text);
// `text` with an apostrophe before it when a spreadsheet would take it for a formula (it
// starts with = + - or @ and is not a plain number), so that it is shown, never worked out.
QString inertText(const QString &text);
