#pragma once

#include "common/result.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// A cell of an exported report, typed as a spreadsheet should take it: money and counts as
// numbers it can add up, moments as dates, numbers that name something (证件号码, 商品编号)
// as text, so that no leading zero or eighteenth digit is lost.
struct SheetCell
{
    enum class Kind : quint8 { Text, Number, Money, Moment };

    Kind kind = Kind::Text;
    double value = 0; // Number, Money
    QString text;     // Text; Moment: stored "yyyy-MM-dd HH:mm[:ss]"

    static SheetCell textCell(QString text) { return {Kind::Text, 0, std::move(text)}; }
    static SheetCell number(double value) { return {Kind::Number, value, {}}; }
    static SheetCell money(double yuan) { return {Kind::Money, yuan, {}}; }
    static SheetCell moment(QString stored) { return {Kind::Moment, 0, std::move(stored)}; }
};

// A report as a spreadsheet gets it: its title and period above a heading row and the rows.
struct ReportSheet
{
    QString title;  // "机时收费表"
    QString period; // "2024-05-01 00:00:00 至 2024-05-01 23:59:59"
    QStringList headers;
    QList<QList<SheetCell>> rows;
    QList<int> widths; // characters per column, for the .xlsx
};

// "yyyy-MM-dd HH:mm:ss 至 yyyy-MM-dd HH:mm:ss".
QString sheetPeriod(const QDateTime &from, const QDateTime &to);

// The text a CSV file holds for `cell`: numbers plain ("19.00" for money), moments as
// "2026-12-07 14:05", text unpadded. Text a spreadsheet would take for a formula (= + - @)
// starts with an apostrophe; text it would take for a number starts with a tab, so that it
// stays text as it is.
QString csvCellText(const SheetCell &cell);

enum class SheetFormat { Csv, Xlsx };

// Writes `sheet` to `path`, the whole file or none of it (a file already there stays as it
// was unless the new one is complete). CSV holds the heading row and the rows; .xlsx has the
// title and period in its first rows, then the heading and the rows, typed. `progress` is
// told the share done (0 to 100) every so many rows; when it answers false, writing stops and
// the failure says "已取消". Runs on any thread: it touches nothing but its arguments.
Result<> writeSheet(const ReportSheet &sheet, const QString &path, SheetFormat format,
                    const std::function<bool(int percent)> &progress = {});

// What writeSheet fails with when `progress` stopped it.
QString sheetCancelled();
