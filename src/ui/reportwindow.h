#pragma once

#include "reports/machinetimereport.h"

#include <QWidget>
#include <memory>

class QLabel;
class QTableView;
class QTextDocument;
class QChartView;

// "报表": the machine-time charges report as a list under its summary line, with a chart
// of the money taken and the machines billing over the period.
class ReportWindow final : public QWidget
{
    Q_OBJECT

public:
    // `anchor` is printed under the report.
    ReportWindow(MachineTimeReport report, const QDate &today, const QString &anchor = {},
                 QWidget *parent = nullptr);
    ~ReportWindow() override;

    QTableView *list() const { return m_list; }
    QChartView *chartView() const { return m_chart; }

    // The report as a printable document: the summary line, then the list.
    std::unique_ptr<QTextDocument> document() const;
    QList<QStringList> table() const;

private:
    void showDetail();
    QChartView *makeChart();

    MachineTimeReport m_report;
    QString m_anchor;
    QString m_summary;
    QLabel *m_summaryLabel;
    QTableView *m_list;
    QChartView *m_chart;
};
