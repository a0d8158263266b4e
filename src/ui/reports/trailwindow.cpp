#include "trailwindow.h"

#include "audit/trail.h"
#include "common/clock.h"
#include "common/formats.h"
#include "common/numbers.h"
#include "ui/widgets/messages.h"
#include "reportoutput.h"
#include "ui/widgets/windowfit.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TrailWindow::TrailWindow(TrailService trail, QWidget *parent) : QWidget(parent, Qt::Window), m_trail(trail)
{
    setObjectName(QStringLiteral("frmTrail"));
    setWindowTitle(QStringLiteral("操作记录"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(860, 520);
    WindowFit::fit(this);

    const QDateTime now = Clock::now();
    m_from = new QDateTimeEdit(QDateTime(now.date(), QTime(0, 0)), this);
    m_from->setObjectName(QStringLiteral("dtpFrom"));
    m_to = new QDateTimeEdit(QDateTime(now.date(), QTime(23, 59, 59)), this);
    m_to->setObjectName(QStringLiteral("dtpTo"));
    for (QDateTimeEdit *e : {m_from, m_to}) {
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        e->setCalendarPopup(true);
    }
    m_operator = new QLineEdit(this);
    m_operator->setObjectName(QStringLiteral("txtOperator"));
    m_machine = new QLineEdit(this);
    m_machine->setObjectName(QStringLiteral("txtMachine"));
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("cboKind"));
    m_kind->setEditable(true);
    m_kind->setMinimumContentsLength(10); // the longest kinds ("系统时间被改动") whole
    m_kind->addItem(QString());

    auto *filters = new QHBoxLayout;
    auto *period = new QFormLayout;
    period->addRow(QStringLiteral("从："), m_from);
    period->addRow(QStringLiteral("到："), m_to);
    auto *who = new QFormLayout;
    who->addRow(QStringLiteral("操作员："), m_operator);
    who->addRow(QStringLiteral("机号："), m_machine);
    auto *what = new QFormLayout;
    what->addRow(QStringLiteral("操作："), m_kind);
    filters->addLayout(period);
    filters->addLayout(who, 1);
    filters->addLayout(what);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstTrail"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    // Several counters write one trail on a server: there each entry says which one.
    QStringList headers{QStringLiteral("序号"), QStringLiteral("时间"), QStringLiteral("操作员"),
                        QStringLiteral("机号"), QStringLiteral("操作"), QStringLiteral("内容")};
    if (m_trail.namesCounters())
        headers.insert(2, QStringLiteral("柜台"));
    m_list->setHeaderLabels(headers);
    m_list->header()->setStretchLastSection(true);

    m_anchor = new QLabel(this);
    m_anchor->setObjectName(QStringLiteral("lblAnchor"));
    m_anchor->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *show = new QPushButton(QStringLiteral("查询(&Q)"), this);
    show->setObjectName(QStringLiteral("cmdQuery"));
    show->setDefault(true);
    auto *verify = new QPushButton(QStringLiteral("校验(&V)"), this);
    verify->setObjectName(QStringLiteral("cmdVerify"));
    auto *csv = new QPushButton(QStringLiteral("导出CSV(&E)"), this);
    csv->setObjectName(QStringLiteral("cmdCsv"));
    auto *close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_anchor, 1);
    for (QPushButton *b : {show, verify, csv, close})
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(show, &QPushButton::clicked, this, &TrailWindow::refresh);
    connect(verify, &QPushButton::clicked, this, &TrailWindow::check);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(csv, &QPushButton::clicked, this, [this] {
        QStringList header;
        for (int c = 0; c < m_list->columnCount(); ++c)
            header << m_list->headerItem()->text(c);
        QList<QStringList> rows{header};
        for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
            QStringList row;
            for (int c = 0; c < m_list->columnCount(); ++c)
                row << m_list->topLevelItem(i)->text(c);
            rows << row;
        }
        ReportOutput::saveCsv(this, rows, QStringLiteral("操作记录.csv"));
    });
    refresh();
}

void TrailWindow::refresh()
{
    const int machine = int(numberValue(m_machine->text()));
    const QList<audit::Entry> found =
        m_trail.entries(m_from->dateTime(), m_to->dateTime(), m_operator->text().trimmed(), machine,
                       m_kind->currentText().trimmed());
    m_list->clear();
    QStringList kinds;
    for (const audit::Entry &e : found) {
        QStringList row{QString::number(e.seq),
                        storedDateTime(e.time),
                        e.operatorName,
                        e.machine > 0 ? QString::number(e.machine) : QString(),
                        e.kind,
                        e.details};
        if (m_trail.namesCounters())
            row.insert(2, e.counter);
        m_list->addTopLevelItem(new QTreeWidgetItem(row));
        if (!kinds.contains(e.kind))
            kinds << e.kind;
    }
    for (const QString &k : std::as_const(kinds))
        if (m_kind->findText(k) < 0)
            m_kind->addItem(k);
    // Number, time, operator, machine and kind as wide as they are; the figures take the rest.
    for (int c = 0; c < m_list->columnCount() - 1; ++c)
        m_list->resizeColumnToContents(c);
    const QString anchor = m_trail.anchor();
    m_anchor->setText(anchor.isEmpty() ? QString() : QStringLiteral("最新校验码：") + anchor);
}

void TrailWindow::check()
{
    const Result<qint64> verified = m_trail.verify();
    Messages::tell(this, QStringLiteral("校验"), audit::verificationText(verified),
                   verified ? QMessageBox::Information : QMessageBox::Critical);
}
