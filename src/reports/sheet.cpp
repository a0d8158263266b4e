#include "sheet.h"

#include "common/formats.h"
#include "common/numbers.h"
#include "csv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <optional>
#include <xlsxwriter.h>

namespace {

constexpr int kRowsPerReport = 1000; // rows between two calls of `progress`

// Text a spreadsheet would read as a number: digits, with the separators and the exponent
// it accepts between them.
bool looksLikeNumber(const QString &text)
{
    if (text.isEmpty() || !text.front().isDigit())
        return false;
    for (const QChar c : text)
        if (!c.isDigit() && c != u'.' && c != u',' && c != u'e' && c != u'E')
            return false;
    return true;
}

struct Moment
{
    int year, month, day, hour, minute, second;
};

// The parts of a stored "yyyy-MM-dd HH:mm[:ss]"; empty for any other text.
std::optional<Moment> momentOf(const QString &s)
{
    if (s.size() < 16 || s[4] != u'-' || s[7] != u'-' || s[10] != u' ' || s[13] != u':')
        return std::nullopt;
    auto number = [&s](int at) {
        const int high = s[at].digitValue(), low = s[at + 1].digitValue();
        return high < 0 || low < 0 ? -1 : high * 10 + low;
    };
    const int century = number(0), year = number(2);
    const Moment m{century * 100 + year, number(5),  number(8),
                   number(11),           number(14), s.size() >= 19 && s[16] == u':' ? number(17) : 0};
    if (century < 0 || year < 0 || !QDate(m.year, m.month, m.day).isValid() || m.hour < 0 || m.hour > 23 ||
        m.minute < 0 || m.minute > 59 || m.second < 0 || m.second > 59)
        return std::nullopt;
    return m;
}

bool tell(const std::function<bool(int)> &progress, qsizetype done, qsizetype total)
{
    return !progress || progress(total > 0 ? int(done * 100 / total) : 100);
}

QString cannotWrite(const QString &path, const QString &why)
{
    return QStringLiteral("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(path), why);
}

Result<> writeCsv(const ReportSheet &sheet, const QString &path, const std::function<bool(int)> &progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(cannotWrite(path, file.errorString()));
    QString text;
    QStringList fields;
    for (const QString &h : sheet.headers)
        fields.append(csvField(h));
    text = fields.join(u',') + QStringLiteral("\r\n");
    QByteArray bytes = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    for (qsizetype r = 0; r < sheet.rows.size(); ++r) {
        text.clear();
        for (qsizetype c = 0; c < sheet.rows[r].size(); ++c) {
            if (c > 0)
                text += u',';
            text += csvField(csvCellText(sheet.rows[r][c]));
        }
        text += QStringLiteral("\r\n");
        bytes += text.toUtf8();
        if ((r + 1) % kRowsPerReport == 0) {
            if (file.write(bytes) != bytes.size())
                return failure(cannotWrite(path, file.errorString()));
            bytes.clear();
            if (!tell(progress, r + 1, sheet.rows.size())) {
                file.cancelWriting();
                return failure(sheetCancelled());
            }
        }
    }
    if (file.write(bytes) != bytes.size() || !file.commit())
        return failure(cannotWrite(path, file.errorString()));
    tell(progress, 1, 1);
    return {};
}

// libxlsxwriter writes the file only when the workbook is closed; it is written beside its
// place under another name and put there once it is complete.
Result<> writeXlsx(const ReportSheet &sheet, const QString &path, const std::function<bool(int)> &progress)
{
    const QFileInfo target(path);
    QTemporaryFile reserved(
        target.absoluteDir().filePath(QStringLiteral(".%1-XXXXXX.xlsx").arg(target.baseName())));
    if (!reserved.open())
        return failure(cannotWrite(path, reserved.errorString()));
    const QString partial = reserved.fileName();
    reserved.close();

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE; // rows go to disk as they are written
    const QByteArray partialName = QFile::encodeName(partial);
    lxw_workbook *book = workbook_new_opt(partialName.constData(), &options);
    if (!book)
        return failure(cannotWrite(path, QStringLiteral("内存不足")));
    lxw_worksheet *ws = workbook_add_worksheet(book, sheet.title.left(31).toUtf8().constData());
    lxw_format *title = workbook_add_format(book);
    format_set_bold(title);
    format_set_font_size(title, 14);
    lxw_format *heading = workbook_add_format(book);
    format_set_bold(heading);
    format_set_bottom(heading, LXW_BORDER_THIN);
    lxw_format *money = workbook_add_format(book);
    format_set_num_format(money, "0.00");
    lxw_format *moment = workbook_add_format(book);
    format_set_num_format(moment, "yyyy-mm-dd hh:mm");
    lxw_format *text = workbook_add_format(book);
    format_set_num_format(text, "@");

    for (qsizetype c = 0; c < sheet.widths.size(); ++c)
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), sheet.widths[c], nullptr);
    constexpr lxw_row_t kHeadingRow = 3;
    worksheet_freeze_panes(ws, kHeadingRow + 1, 0);
    worksheet_write_string(ws, 0, 0, sheet.title.toUtf8().constData(), title);
    worksheet_write_string(ws, 1, 0, sheet.period.toUtf8().constData(), nullptr);
    for (qsizetype c = 0; c < sheet.headers.size(); ++c)
        worksheet_write_string(ws, kHeadingRow, lxw_col_t(c), sheet.headers[c].toUtf8().constData(), heading);

    bool cancelled = false;
    for (qsizetype r = 0; r < sheet.rows.size() && !cancelled; ++r) {
        const lxw_row_t row = kHeadingRow + 1 + lxw_row_t(r);
        const QList<SheetCell> &cells = sheet.rows[r];
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const SheetCell &cell = cells[c];
            const lxw_col_t col = lxw_col_t(c);
            switch (cell.kind) {
            case SheetCell::Kind::Number:
                worksheet_write_number(ws, row, col, cell.value, nullptr);
                break;
            case SheetCell::Kind::Money:
                worksheet_write_number(ws, row, col, cell.value, money);
                break;
            case SheetCell::Kind::Moment:
                if (const auto m = momentOf(cell.text)) {
                    lxw_datetime when{m->year, m->month, m->day, m->hour, m->minute, double(m->second)};
                    worksheet_write_datetime(ws, row, col, &when, moment);
                } else if (!cell.text.isEmpty()) {
                    worksheet_write_string(ws, row, col, cell.text.toUtf8().constData(), text);
                }
                break;
            case SheetCell::Kind::Text:
                // A cell typed as text is never a formula, whatever it starts with.
                if (!cell.text.isEmpty())
                    worksheet_write_string(ws, row, col, cell.text.toUtf8().constData(), text);
                break;
            }
        }
        if ((r + 1) % kRowsPerReport == 0)
            cancelled = !tell(progress, r + 1, sheet.rows.size());
    }
    const lxw_error closed = workbook_close(book);
    if (cancelled || closed != LXW_NO_ERROR) {
        QFile::remove(partial);
        return failure(cancelled ? sheetCancelled()
                                 : cannotWrite(path, QString::fromUtf8(lxw_strerror(closed))));
    }
    QFile::remove(path);
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        return failure(cannotWrite(path, QStringLiteral("无法替换原有文件")));
    }
    tell(progress, 1, 1);
    return {};
}

} // namespace

QString sheetPeriod(const QDateTime &from, const QDateTime &to)
{
    return storedDateTime(from) + QStringLiteral(" 至 ") + storedDateTime(to);
}

QString csvCellText(const SheetCell &cell)
{
    switch (cell.kind) {
    case SheetCell::Kind::Number:
        return plainNumber(cell.value);
    case SheetCell::Kind::Money:
        return QString::number(cell.value, 'f', 2);
    case SheetCell::Kind::Moment:
        return momentOf(cell.text) ? cell.text.left(16) : cell.text.trimmed();
    case SheetCell::Kind::Text:
        break;
    }
    const QString inert = inertText(cell.text);
    if (inert.size() != cell.text.size())
        return inert;
    return looksLikeNumber(cell.text) ? u'\t' + cell.text : cell.text;
}

QString sheetCancelled()
{
    return QStringLiteral("已取消");
}

Result<> writeSheet(const ReportSheet &sheet, const QString &path, SheetFormat format,
                    const std::function<bool(int)> &progress)
{
    return format == SheetFormat::Csv ? writeCsv(sheet, path, progress) : writeXlsx(sheet, path, progress);
}
