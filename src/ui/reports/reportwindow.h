#pragma once

#include "reports/machinetimereport.h"

#include <QWidget>
#include <memory>

class PageSource;
class QTableView;
class QChartView;

// "报表": the machine-time charges report as a list under its summary line, with a chart
// of the money taken and the machines billing over the period.
class ReportWindow final : public QWidget
{
    Q_OBJECT

public:
    // `anchor` is printed under the report, after the `foot` lines (shown under the list too).
    ReportWindow(MachineTimeReport report, const QDate &today, const QString &anchor = {},
                 QWidget *parent = nullptr, const QStringList &foot = {});
    ~ReportWindow() override;

    QTableView *list() const;
    QChartView *chartView() const;

signals:
    // A print, PDF or export has ended, whole, failed or cancelled.
    void outputFinished();

private:
    void showDetail();
    QChartView *makeChart();
    // The report as printed pages: the summary line, then the list.
    std::unique_ptr<PageSource> pages() const;

    struct Private;
    std::unique_ptr<Private> d;
};
