#include "trailwindow.h"

#include "audit/trail.h"
#include "common/clock.h"
#include "common/formats.h"
#include "common/numbers.h"
#include "reportoutput.h"
#include "ui/widgets/messages.h"
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

struct TrailWindow::Private
{
    TrailService trail;
    QDateTimeEdit *from = nullptr;
    QDateTimeEdit *to = nullptr;
    QLineEdit *operatorName = nullptr;
    QLineEdit *machine = nullptr;
    QComboBox *kind = nullptr;
    QTreeWidget *list = nullptr;
    QLabel *anchor = nullptr;
};

TrailWindow::TrailWindow(TrailService trail, QWidget *parent)
    : QWidget(parent, Qt::Window), d(std::make_unique<Private>(trail))
{
    setObjectName(QStringLiteral("frmTrail"));
    setWindowTitle(QStringLiteral("操作记录"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(860, 520);
    WindowFit::fit(this);

    const QDateTime now = Clock::now();
    d->from = new QDateTimeEdit(QDateTime(now.date(), QTime(0, 0)), this);
    d->from->setObjectName(QStringLiteral("dtpFrom"));
    d->to = new QDateTimeEdit(QDateTime(now.date(), QTime(23, 59, 59)), this);
    d->to->setObjectName(QStringLiteral("dtpTo"));
    for (QDateTimeEdit *e : {d->from, d->to}) {
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        e->setCalendarPopup(true);
    }
    d->operatorName = new QLineEdit(this);
    d->operatorName->setObjectName(QStringLiteral("txtOperator"));
    d->machine = new QLineEdit(this);
    d->machine->setObjectName(QStringLiteral("txtMachine"));
    d->kind = new QComboBox(this);
    d->kind->setObjectName(QStringLiteral("cboKind"));
    d->kind->setEditable(true);
    d->kind->setMinimumContentsLength(10); // the longest kinds ("系统时间被改动") whole
    d->kind->addItem(QString());

    auto *filters = new QHBoxLayout;
    auto *period = new QFormLayout;
    period->addRow(QStringLiteral("从："), d->from);
    period->addRow(QStringLiteral("到："), d->to);
    auto *who = new QFormLayout;
    who->addRow(QStringLiteral("操作员："), d->operatorName);
    who->addRow(QStringLiteral("机号："), d->machine);
    auto *what = new QFormLayout;
    what->addRow(QStringLiteral("操作："), d->kind);
    filters->addLayout(period);
    filters->addLayout(who, 1);
    filters->addLayout(what);

    d->list = new QTreeWidget(this);
    d->list->setObjectName(QStringLiteral("lstTrail"));
    d->list->setRootIsDecorated(false);
    d->list->setUniformRowHeights(true);
    // Several counters write one trail on a server: there each entry says which one.
    QStringList headers{QStringLiteral("序号"), QStringLiteral("时间"), QStringLiteral("操作员"),
                        QStringLiteral("机号"), QStringLiteral("操作"), QStringLiteral("内容")};
    if (d->trail.namesCounters())
        headers.insert(2, QStringLiteral("柜台"));
    d->list->setHeaderLabels(headers);
    d->list->header()->setStretchLastSection(true);

    d->anchor = new QLabel(this);
    d->anchor->setObjectName(QStringLiteral("lblAnchor"));
    d->anchor->setTextInteractionFlags(Qt::TextSelectableByMouse);

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
    buttons->addWidget(d->anchor, 1);
    for (QPushButton *b : {show, verify, csv, close})
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(d->list, 1);
    layout->addLayout(buttons);

    connect(show, &QPushButton::clicked, this, &TrailWindow::refresh);
    connect(verify, &QPushButton::clicked, this, &TrailWindow::check);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(csv, &QPushButton::clicked, this, [this] {
        QStringList header;
        for (int c = 0; c < d->list->columnCount(); ++c)
            header << d->list->headerItem()->text(c);
        QList<QStringList> rows{header};
        for (int i = 0; i < d->list->topLevelItemCount(); ++i) {
            QStringList row;
            for (int c = 0; c < d->list->columnCount(); ++c)
                row << d->list->topLevelItem(i)->text(c);
            rows << row;
        }
        ReportOutput::saveCsv(this, rows, QStringLiteral("操作记录.csv"));
    });
    refresh();
}

TrailWindow::~TrailWindow() = default;

void TrailWindow::refresh()
{
    const int machine = int(numberValue(d->machine->text()));
    const QList<audit::Entry> found =
        d->trail.entries(d->from->dateTime(), d->to->dateTime(), d->operatorName->text().trimmed(), machine,
                         d->kind->currentText().trimmed());
    d->list->clear();
    QStringList kinds;
    for (const audit::Entry &e : found) {
        QStringList row{QString::number(e.seq),
                        storedDateTime(e.time),
                        e.operatorName,
                        e.machine > 0 ? QString::number(e.machine) : QString(),
                        e.kind,
                        e.details};
        if (d->trail.namesCounters())
            row.insert(2, e.counter);
        d->list->addTopLevelItem(new QTreeWidgetItem(row));
        if (!kinds.contains(e.kind))
            kinds << e.kind;
    }
    for (const QString &k : std::as_const(kinds))
        if (d->kind->findText(k) < 0)
            d->kind->addItem(k);
    // Number, time, operator, machine and kind as wide as they are; the figures take the rest.
    for (int c = 0; c < d->list->columnCount() - 1; ++c)
        d->list->resizeColumnToContents(c);
    const QString anchor = d->trail.anchor();
    d->anchor->setText(anchor.isEmpty() ? QString() : QStringLiteral("最新校验码：") + anchor);
}

void TrailWindow::check()
{
    const Result<qint64> verified = d->trail.verify();
    Messages::tell(this, QStringLiteral("校验"), audit::verificationText(verified),
                   verified ? QMessageBox::Information : QMessageBox::Critical);
}
