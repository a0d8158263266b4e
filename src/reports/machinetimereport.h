#pragma once

#include "reportrequest.h"
#include "sheet.h"
#include "store/journaltable.h"

#include <QList>
#include <QStringList>

// Money taken and machines billing, per hour of a one-day period or per day of a longer one.
struct ReportChart
{
    bool hourly = false;
    QDateTime firstBucket; // start of the first hour or day
    QList<qint64> cents;   // 实收款 of the sessions settled in each bucket
    QList<int> machines;   // machines with a session in each bucket
};

// The bucket names under the chart: the hour, or the day of the month, widened to month and
// year where a period is long enough for a day number to come twice (a chart axis shows
// each name only once).
QStringList chartLabels(const ReportChart &chart);

// The machine-time charges report ("机时收费表"): the settled sessions of the period as
// they are listed, with the two sums.
class MachineTimeReport final
{
public:
    static constexpr int kColumns = 12;

    explicit MachineTimeReport(const ReportPeriod &period = {});

    void add(const JournalRecord &row);
    void add(QList<JournalRecord> &&rows);
    // Adds the sessions in the chart; done once, after the last row.
    void finish();

    const QList<JournalRecord> &rows() const { return m_rows; }
    qint64 dueCents() const { return m_due; }
    qint64 receivedCents() const { return m_received; }
    const ReportChart &chart() const { return m_chart; }

    // The journal's field names, in the journal's order.
    static QStringList headers();
    // The text of column `column` (0-based) of `row` as the list shows it.
    static QString columnText(const JournalRecord &row, int column);
    static QStringList rowTexts(const JournalRecord &row);
    // Whether the list right-aligns the column (the money and the discount).
    static bool rightAligned(int column) { return column >= 4 && column <= 7; }
    // List widths of the first eight columns, in twips.
    static int columnTwips(int column);

    // "   总应收金额：" … " 总实收金额：" … "    " + the date of `today`.
    QString summary(const QDate &today) const;

    // The rows for a spreadsheet, in the journal's order of fields.
    ReportSheet sheet() const;

private:
    ReportPeriod m_period;
    QList<JournalRecord> m_rows;
    qint64 m_due = 0;
    qint64 m_received = 0;
    ReportChart m_chart;
};
