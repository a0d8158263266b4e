#pragma once

#include "common/result.h"

#include <QList>
#include <QStringList>

// A report table as a spreadsheet: one sheet, the first row bold, a cell that is a plain
// number (money as "12.00元" included) written as a number so the bookkeeper can add it up.
Result<QByteArray> xlsxBytes(const QString &sheetName, const QList<QStringList> &rows);
