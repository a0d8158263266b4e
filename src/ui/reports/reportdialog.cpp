#include "reportdialog.h"

#include "common/clock.h"
#include "printwindow.h"
#include "reportprogress.h"
#include "reports/reportfoot.h"
#include "reports/reportjob.h"
#include "reportwindow.h"
#include "ui/widgets/messages.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTime>

struct ReportDialog::Private
{
    ReportService reports;
    QTime fromTime;
    QTime toTime;
    QComboBox *type = nullptr;
    QDateEdit *from = nullptr;
    QDateEdit *to = nullptr;
    QComboBox *machine = nullptr;
    QPushButton *generate = nullptr;
    ReportJob *job = nullptr;
    QPointer<ReportProgress> progress; // a child of the main window, which may go first
};

ReportDialog::ReportDialog(ReportService reports, ReportKind kind, ReportPreset preset, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(std::move(reports)))
{
    d->type = new QComboBox(this);
    d->from = new QDateEdit(this);
    d->to = new QDateEdit(this);
    d->machine = new QComboBox(this);
    d->generate = new QPushButton(QStringLiteral("生成报表"), this);
    setObjectName(QStringLiteral("frmReportDialog"));
    setWindowTitle(QStringLiteral("生成报表"));

    d->type->setObjectName(QStringLiteral("cboType"));
    for (ReportKind k : {ReportKind::MachineTime, ReportKind::GoodsSales, ReportKind::Income})
        d->type->addItem(reportTypeText(k));
    d->type->setCurrentText(reportTypeText(kind));

    d->from->setObjectName(QStringLiteral("dtpFrom"));
    d->to->setObjectName(QStringLiteral("dtpTo"));
    for (QDateEdit *picker : {d->from, d->to}) {
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    const ReportPeriod period = d->reports.presetPeriod(preset, Clock::now().date());
    d->from->setDate(period.from.date());
    d->to->setDate(period.to.date());
    d->fromTime = period.from.time();
    d->toTime = period.to.time();

    d->machine->setObjectName(QStringLiteral("cboMachine"));
    d->machine->addItem(QStringLiteral("全部计算机"), 0);
    for (const Machine &m : d->reports.machines().value_or(QList<Machine>()))
        d->machine->addItem(m.name, m.number);
    d->machine->setCurrentIndex(0);

    d->generate->setObjectName(QStringLiteral("cmdGenerate"));
    d->generate->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(d->generate, &QPushButton::clicked, this, &ReportDialog::generate);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("报表类型："), this), 0, 0);
    grid->addWidget(d->type, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("报表日期："), this), 1, 0);
    grid->addWidget(d->from, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("到"), this), 1, 2);
    grid->addWidget(d->to, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("选择计算机："), this), 2, 0);
    grid->addWidget(d->machine, 2, 1, 1, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(d->generate);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    const QList<QWidget *> order{d->type, d->from, d->to, d->machine, d->generate, cancel};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
    d->type->setFocus();
}

ReportDialog::~ReportDialog()
{
    // Closed while producing (the main window went away): let go of the pointer.
    if (d->job)
        endBusy();
}

bool ReportDialog::isGenerating() const
{
    return d->job != nullptr;
}

ReportRequest ReportDialog::request() const
{
    return {reportKindFromText(d->type->currentText()).value_or(ReportKind::MachineTime),
            QDateTime(d->from->date(), d->fromTime), QDateTime(d->to->date(), d->toTime),
            d->machine->currentData().toInt()};
}

void ReportDialog::generate()
{
    if (d->job)
        return;
    const ReportRequest r = request();
    if (const Result<> ok = r.check(); !ok) {
        Messages::tell(this, QStringLiteral("提示"), ok.error(), QMessageBox::Warning);
        return;
    }
    const Result<ReportJob *> job = d->reports.job(r, this);
    if (!job) {
        Messages::tell(this, QStringLiteral("错误"), job.error(), QMessageBox::Critical);
        return;
    }
    hide();
    d->progress = new ReportProgress(parentWidget());
    d->progress->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    d->job = *job;
    connect(d->job, &ReportJob::progressChanged, d->progress, &ReportProgress::setValue);
    connect(d->job, &ReportJob::finished, this, &ReportDialog::showReport);
    d->job->start();
}

void ReportDialog::endBusy()
{
    QApplication::restoreOverrideCursor();
    delete d->progress;
    d->progress = nullptr;
    d->job->deleteLater();
    d->job = nullptr;
}

void ReportDialog::showReport()
{
    const QDate today = Clock::now().date();
    const QString anchor = d->reports.anchor();
    const ReportPeriod period{d->job->request().from, d->job->request().to};
    const QStringList foot = clockChangeFoot(d->reports.clockChanges(), period);
    QWidget *window = nullptr;
    switch (d->job->request().kind) {
    case ReportKind::MachineTime:
        window = new ReportWindow(d->job->machineTime(), today, anchor, parentWidget(), foot);
        break;
    case ReportKind::GoodsSales:
        window = new PrintWindow(withFoot(d->job->goodsSales().text(today), foot),
                                 d->job->goodsSales().sheet(period), QStringLiteral("商品销售统计表"), anchor,
                                 parentWidget());
        break;
    case ReportKind::Income:
        window = new PrintWindow(withFoot(d->job->income().text(today), foot), d->job->income().sheet(period),
                                 QStringLiteral("收入统计表"), anchor, parentWidget());
        break;
    }
    endBusy();
    window->show();
    emit reportShown(window);
    accept();
}

ReportDialog *openReportDialog(ReportService reports, ReportKind kind, ReportPreset preset, QWidget *parent)
{
    auto *dialog = new ReportDialog(std::move(reports), kind, preset, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}
