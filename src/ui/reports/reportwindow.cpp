#include "reportwindow.h"

#include "reportoutput.h"
#include "reportpages.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/windowfit.h"

#include <QAbstractTableModel>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {

// The rows as the list shows them; the texts are made when a row is painted, so a report
// of many rows opens at once.
class MachineTimeModel final : public QAbstractTableModel
{
public:
    MachineTimeModel(const MachineTimeReport &report, QObject *parent)
        : QAbstractTableModel(parent), m_report(report)
    {
    }
    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : int(m_report.rows().size());
    }
    int columnCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : MachineTimeReport::kColumns;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return MachineTimeReport::columnText(m_report.rows().at(index.row()), index.column());
        if (role == Qt::TextAlignmentRole)
            return int((MachineTimeReport::rightAligned(index.column()) ? Qt::AlignRight : Qt::AlignLeft) |
                       Qt::AlignVCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal)
            return {};
        if (role == Qt::DisplayRole)
            return MachineTimeReport::headers().value(section);
        if (role == Qt::TextAlignmentRole)
            return int((MachineTimeReport::rightAligned(section) ? Qt::AlignRight : Qt::AlignLeft) |
                       Qt::AlignVCenter);
        return {};
    }

private:
    const MachineTimeReport &m_report;
};

} // namespace

struct ReportWindow::Private
{
    MachineTimeReport report;
    QString anchor;
    QStringList foot;
    QString summary;
    QDate today;
    QLabel *summaryLabel = nullptr;
    QTableView *list = nullptr;
    QChartView *chart = nullptr;
};

ReportWindow::ReportWindow(MachineTimeReport report, const QDate &today, const QString &anchor,
                           QWidget *parent, const QStringList &foot)
    : QWidget(parent, Qt::Window), d(std::make_unique<Private>(std::move(report), anchor, foot))
{
    d->summary = d->report.summary(today);
    d->today = today;
    d->summaryLabel = new QLabel(d->summary, this);
    d->list = new QTableView(this);
    setObjectName(QStringLiteral("frmReport"));
    setWindowTitle(QStringLiteral("报表"));
    setAttribute(Qt::WA_DeleteOnClose);

    d->summaryLabel->setObjectName(QStringLiteral("lblSummary"));
    d->list->setObjectName(QStringLiteral("lvwReport"));
    d->list->setModel(new MachineTimeModel(d->report, d->list));
    d->list->setSelectionBehavior(QAbstractItemView::SelectRows);
    d->list->setSelectionMode(QAbstractItemView::SingleSelection);
    d->list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    d->list->verticalHeader()->hide();
    d->list->verticalHeader()->setDefaultSectionSize(d->list->fontMetrics().height() + 6);
    d->list->setShowGrid(false);
    d->list->setWordWrap(false);
    for (int c = 0; c < MachineTimeReport::kColumns; ++c)
        d->list->setColumnWidth(c, MachineTimeReport::columnTwips(c) / 15);

    d->chart = makeChart();

    auto *print = new QPushButton(QStringLiteral("打印报表"), this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    auto *detail = new QPushButton(QStringLiteral("详细内容"), this);
    detail->setObjectName(QStringLiteral("cmdDetail"));
    auto *pdf = new QPushButton(QStringLiteral("另存为PDF"), this);
    pdf->setObjectName(QStringLiteral("cmdPdf"));
    auto *csv = new QPushButton(QStringLiteral("导出CSV"), this);
    csv->setObjectName(QStringLiteral("cmdCsv"));
    auto *xlsx = new QPushButton(QStringLiteral("导出Excel"), this);
    xlsx->setObjectName(QStringLiteral("cmdXlsx"));
    auto *close = new QPushButton(QStringLiteral("关闭窗口"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    ReportOutput::connectButtons(
        this, {print, pdf, csv, xlsx}, QStringLiteral("机时收费表"), QPageLayout::Landscape, [this] { return pages(); },
        [this] { return d->report.sheet(); }, [this] { emit outputFinished(); });
    connect(detail, &QPushButton::clicked, this, &ReportWindow::showDetail);
    connect(d->list, &QTableView::doubleClicked, this, &ReportWindow::showDetail);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(d->list);
    splitter->addWidget(d->chart);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {print, detail, pdf, csv, xlsx, close})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->summaryLabel);
    layout->addWidget(splitter, 1);
    if (!d->foot.isEmpty()) {
        auto *foot = new QLabel(d->foot.join(u'\n'), this);
        foot->setObjectName(QStringLiteral("lblFoot"));
        foot->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
        layout->addWidget(foot);
    }
    layout->addLayout(buttons);
    resize(900, 600);
    WindowFit::fit(this);
    d->list->setFocus();
}

ReportWindow::~ReportWindow() = default;

QTableView *ReportWindow::list() const
{
    return d->list;
}

QChartView *ReportWindow::chartView() const
{
    return d->chart;
}

QChartView *ReportWindow::makeChart()
{
    const ReportChart &data = d->report.chart();
    auto *money = new QBarSet(QStringLiteral("实收金额（元）"));
    auto *machines = new QLineSeries;
    machines->setName(QStringLiteral("上机台数"));
    int mostMachines = 0;
    double mostMoney = 0;
    for (qsizetype i = 0; i < data.cents.size(); ++i) {
        const double yuan = double(data.cents.at(i)) / 100;
        *money << yuan;
        machines->append(double(i), data.machines.at(i));
        mostMachines = std::max(mostMachines, data.machines.at(i));
        mostMoney = std::max(mostMoney, yuan);
    }
    auto *bars = new QBarSeries;
    bars->append(money);

    auto *chart = new QChart;
    chart->setTitle(data.hourly ? QStringLiteral("每小时收入与上机台数")
                                : QStringLiteral("每日收入与上机台数"));
    chart->addSeries(bars);
    chart->addSeries(machines);
    auto *axisX = new QBarCategoryAxis;
    axisX->append(chartLabels(data));
    axisX->setTitleText(data.hourly ? QStringLiteral("时") : QStringLiteral("日"));
    chart->addAxis(axisX, Qt::AlignBottom);
    auto *axisMoney = new QValueAxis;
    // The units are in the legend; whole ticks, so no tick name comes twice.
    axisMoney->setRange(0, mostMoney > 0 ? mostMoney * 1.1 : 1);
    axisMoney->applyNiceNumbers();
    axisMoney->setLabelFormat(QStringLiteral("%.1f"));
    chart->addAxis(axisMoney, Qt::AlignLeft);
    auto *axisMachines = new QValueAxis;
    axisMachines->setRange(0, std::max(1, mostMachines + 1));
    axisMachines->setTickType(QValueAxis::TicksDynamic);
    axisMachines->setTickAnchor(0);
    axisMachines->setTickInterval(std::max(1, (mostMachines + 5) / 5));
    axisMachines->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(axisMachines, Qt::AlignRight);
    bars->attachAxis(axisX);
    bars->attachAxis(axisMoney);
    machines->attachAxis(axisX);
    machines->attachAxis(axisMachines);
    chart->legend()->setAlignment(Qt::AlignBottom);

    auto *view = new QChartView(chart, this);
    view->setObjectName(QStringLiteral("chartReport"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(280);
    return view;
}

void ReportWindow::showDetail()
{
    const QModelIndex current = d->list->currentIndex();
    if (!current.isValid())
        return;
    const JournalRecord &row = d->report.rows().at(current.row());
    const QStringList names = MachineTimeReport::headers();
    QStringList lines;
    for (int c = 0; c < MachineTimeReport::kColumns; ++c)
        lines.append(names.at(c) + QStringLiteral("：") + MachineTimeReport::columnText(row, c));
    Messages::tell(this, QStringLiteral("详细内容"), lines.join(u'\n'));
}

std::unique_ptr<PageSource> ReportWindow::pages() const
{
    return std::make_unique<TablePages>(d->report, d->today, d->anchor, d->foot);
}
