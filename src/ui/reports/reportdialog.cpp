#include "reportdialog.h"

#include "common/clock.h"
#include "ui/widgets/messages.h"
#include "printwindow.h"
#include "reportprogress.h"
#include "reports/reportfoot.h"
#include "reports/reportjob.h"
#include "reportwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

ReportDialog::ReportDialog(ReportService reports, ReportKind kind, ReportPreset preset, QWidget *parent)
    : QDialog(parent), m_reports(std::move(reports)), m_type(new QComboBox(this)),
      m_from(new QDateEdit(this)), m_to(new QDateEdit(this)), m_machine(new QComboBox(this)),
      m_generate(new QPushButton(QStringLiteral("生成报表"), this))
{
    setObjectName(QStringLiteral("frmReportDialog"));
    setWindowTitle(QStringLiteral("生成报表"));

    m_type->setObjectName(QStringLiteral("cboType"));
    for (ReportKind k : {ReportKind::MachineTime, ReportKind::GoodsSales, ReportKind::Income})
        m_type->addItem(reportTypeText(k));
    m_type->setCurrentText(reportTypeText(kind));

    m_from->setObjectName(QStringLiteral("dtpFrom"));
    m_to->setObjectName(QStringLiteral("dtpTo"));
    for (QDateEdit *picker : {m_from, m_to}) {
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    const ReportPeriod period = m_reports.presetPeriod(preset, Clock::now().date());
    m_from->setDate(period.from.date());
    m_to->setDate(period.to.date());
    m_fromTime = period.from.time();
    m_toTime = period.to.time();

    m_machine->setObjectName(QStringLiteral("cboMachine"));
    m_machine->addItem(QStringLiteral("全部计算机"), 0);
    for (const Machine &m : m_reports.machines().value_or(QList<Machine>()))
        m_machine->addItem(m.name, m.number);
    m_machine->setCurrentIndex(0);

    m_generate->setObjectName(QStringLiteral("cmdGenerate"));
    m_generate->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(m_generate, &QPushButton::clicked, this, &ReportDialog::generate);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("报表类型："), this), 0, 0);
    grid->addWidget(m_type, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("报表日期："), this), 1, 0);
    grid->addWidget(m_from, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("到"), this), 1, 2);
    grid->addWidget(m_to, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("选择计算机："), this), 2, 0);
    grid->addWidget(m_machine, 2, 1, 1, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_generate);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    const QList<QWidget *> order{m_type, m_from, m_to, m_machine, m_generate, cancel};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
    m_type->setFocus();
}

ReportDialog::~ReportDialog()
{
    // Closed while producing (the main window went away): let go of the pointer.
    if (m_job)
        endBusy();
}

ReportRequest ReportDialog::request() const
{
    return {reportKindFromText(m_type->currentText()).value_or(ReportKind::MachineTime),
            QDateTime(m_from->date(), m_fromTime), QDateTime(m_to->date(), m_toTime),
            m_machine->currentData().toInt()};
}

void ReportDialog::generate()
{
    if (m_job)
        return;
    const ReportRequest r = request();
    if (const Result<> ok = r.check(); !ok) {
        Messages::tell(this, QStringLiteral("提示"), ok.error(), QMessageBox::Warning);
        return;
    }
    const Result<ReportJob *> job = m_reports.job(r, this);
    if (!job) {
        Messages::tell(this, QStringLiteral("错误"), job.error(), QMessageBox::Critical);
        return;
    }
    hide();
    m_progress = new ReportProgress(parentWidget());
    m_progress->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_job = *job;
    connect(m_job, &ReportJob::progressChanged, m_progress, &ReportProgress::setValue);
    connect(m_job, &ReportJob::finished, this, &ReportDialog::showReport);
    m_job->start();
}

void ReportDialog::endBusy()
{
    QApplication::restoreOverrideCursor();
    delete m_progress;
    m_progress = nullptr;
    m_job->deleteLater();
    m_job = nullptr;
}

void ReportDialog::showReport()
{
    const QDate today = Clock::now().date();
    const QString anchor = m_reports.anchor();
    const ReportPeriod period{m_job->request().from, m_job->request().to};
    const QStringList foot = clockChangeFoot(m_reports.clockChanges(), period);
    QWidget *window = nullptr;
    switch (m_job->request().kind) {
    case ReportKind::MachineTime:
        window = new ReportWindow(m_job->machineTime(), today, anchor, parentWidget(), foot);
        break;
    case ReportKind::GoodsSales:
        window = new PrintWindow(withFoot(m_job->goodsSales().text(today), foot),
                                 m_job->goodsSales().sheet(period), QStringLiteral("商品销售统计表"), anchor,
                                 parentWidget());
        break;
    case ReportKind::Income:
        window = new PrintWindow(withFoot(m_job->income().text(today), foot), m_job->income().sheet(period),
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
