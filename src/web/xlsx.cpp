#include "xlsx.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <xlsxwriter.h>

namespace {

// "12", "-3.5", "12.00元": the number; anything else stays text (dates, "3号机", names).
std::optional<double> cellNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^-?\\d+(\\.\\d+)?元?$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    QString digits = text;
    digits.remove(u'元');
    return digits.toDouble();
}

} // namespace

Result<QByteArray> xlsxBytes(const QString &sheetName, const QList<QStringList> &rows)
{
    // The library writes files only: a private folder holds it for the moment.
    QTemporaryDir dir;
    if (!dir.isValid())
        return failure(QStringLiteral("无法生成表格"));
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("report.xlsx")));
    lxw_workbook *book = workbook_new(path.constData());
    if (!book)
        return failure(QStringLiteral("无法生成表格"));
    lxw_worksheet *sheet = workbook_add_worksheet(book, sheetName.left(31).toUtf8().constData());
    lxw_format *heading = workbook_add_format(book);
    format_set_bold(heading);
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows.at(r).size(); ++c) {
            const QString &text = rows.at(r).at(c);
            const std::optional<double> value = r > 0 ? cellNumber(text) : std::nullopt;
            if (value)
                worksheet_write_number(sheet, lxw_row_t(r), lxw_col_t(c), *value, nullptr);
            else
                worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c), text.toUtf8().constData(),
                                       r == 0 ? heading : nullptr);
        }
    }
    if (workbook_close(book) != LXW_NO_ERROR)
        return failure(QStringLiteral("无法生成表格"));
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("无法生成表格"));
    return file.readAll();
}
