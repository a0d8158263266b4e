#include "shiftwindows.h"

#include "common/formats.h"
#include "common/numbers.h"
#include "printwindow.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/numberedit.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString yuan(double amount)
{
    return plainNumber(roundEven(amount, 2)) + QStringLiteral("元");
}

QLabel *figure(const QString &text, const char *objectName, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace

struct ShiftDialog::Private
{
    ShiftService &shifts;
    Shift shift;
    QLineEdit *counted = nullptr;
    QLineEdit *left = nullptr;
    QLabel *difference = nullptr;
};

ShiftDialog::ShiftDialog(ShiftService &shifts, const Shift &open, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(shifts, open))
{
    setObjectName(QStringLiteral("frmShift"));
    setWindowTitle(QStringLiteral("交班"));

    d->counted = numberEdit(this, QStringLiteral("txtCounted"), true, 12);
    d->left = numberEdit(this, QStringLiteral("txtLeft"), true, 12);
    d->left->setText(plainNumber(open.openingFloat));
    d->difference = figure(QString(), "lblDifference", this);
    QFont bold = d->difference->font();
    bold.setBold(true);
    d->difference->setFont(bold);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("上班时间："), figure(formatLongDateTime(open.start), "lblStart", this));
    form->addRow(QStringLiteral("操作员："), figure(open.operatorName, "lblOperator", this));
    form->addRow(QStringLiteral("现金结帐："),
                 figure(yuan(open.takings.sessionCash), "lblSessionCash", this));
    form->addRow(QStringLiteral("储金卡结帐："), figure(yuan(open.takings.cardPaid), "lblCardPaid", this));
    form->addRow(QStringLiteral("售卡及充值："), figure(yuan(open.takings.cardSales), "lblCardSales", this));
    form->addRow(QStringLiteral("柜台零售："),
                 figure(yuan(open.takings.counterSales), "lblCounterSales", this));
    form->addRow(QStringLiteral("上班备用金："), figure(yuan(open.openingFloat), "lblFloat", this));
    QLabel *expected = figure(yuan(open.expected()), "lblExpected", this);
    expected->setFont(bold);
    form->addRow(QStringLiteral("应有现金："), expected);
    form->addRow(QStringLiteral("实点现金(&C)："), d->counted);
    form->addRow(QStringLiteral("留给下一班的备用金(&L)："), d->left);
    form->addRow(QStringLiteral("差额："), d->difference);

    auto *handOver = new QPushButton(QStringLiteral("交班"), this);
    handOver->setObjectName(QStringLiteral("cmdHandOver"));
    handOver->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(handOver);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setTabOrder(d->counted, d->left);
    setTabOrder(d->left, handOver);
    setTabOrder(handOver, cancel);
    d->counted->setFocus();

    connect(d->counted, &QLineEdit::textChanged, this, &ShiftDialog::showDifference);
    connect(handOver, &QPushButton::clicked, this, &ShiftDialog::handOver);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    showDifference();
}

ShiftDialog::~ShiftDialog() = default;

const Shift &ShiftDialog::handedOver() const
{
    return d->shift;
}

void ShiftDialog::showDifference()
{
    if (d->counted->text().isEmpty()) {
        d->difference->clear();
        return;
    }
    const double difference = roundEven(numberValue(d->counted->text()) - d->shift.expected(), 2);
    d->difference->setText(yuan(difference));
    // A drawer that does not add up is seen at once.
    d->difference->setStyleSheet(difference != 0 ? QStringLiteral("color: red;") : QString());
}

void ShiftDialog::handOver()
{
    const Result<Shift> done = d->shifts.handOver(d->counted->text(), d->left->text());
    if (!done) {
        Messages::tell(this, QStringLiteral("错误"), done.error(), QMessageBox::Critical);
        return;
    }
    d->shift = *done;
    accept();
}

struct ShiftsWindow::Private
{
    ShiftService service;
    QList<Shift> shifts;
    QTreeWidget *list = nullptr;
};

ShiftsWindow::ShiftsWindow(ShiftService shifts, QWidget *parent)
    : QWidget(parent, Qt::Window), d(std::make_unique<Private>(shifts))
{
    d->shifts = d->service.past();
    setObjectName(QStringLiteral("frmShifts"));
    setWindowTitle(QStringLiteral("交班记录"));
    setAttribute(Qt::WA_DeleteOnClose);

    d->list = new QTreeWidget(this);
    d->list->setObjectName(QStringLiteral("lstShifts"));
    d->list->setRootIsDecorated(false);
    d->list->setHeaderLabels(
        {QStringLiteral("上班时间"), QStringLiteral("交班时间"), QStringLiteral("操作员"),
         QStringLiteral("现金结帐"), QStringLiteral("储金卡结帐"), QStringLiteral("售卡及充值"),
         QStringLiteral("柜台零售"), QStringLiteral("上班备用金"), QStringLiteral("应有现金"),
         QStringLiteral("实点现金"), QStringLiteral("差额"), QStringLiteral("留存备用金")});
    for (const Shift &s : std::as_const(d->shifts)) {
        auto *item =
            new QTreeWidgetItem(d->list, {formatLongDateTime(s.start), formatLongDateTime(s.end),
                                          s.operatorName, plainNumber(s.takings.sessionCash),
                                          plainNumber(s.takings.cardPaid), plainNumber(s.takings.cardSales),
                                          plainNumber(s.takings.counterSales), plainNumber(s.openingFloat),
                                          plainNumber(roundEven(s.expected(), 2)), plainNumber(s.counted),
                                          plainNumber(roundEven(s.difference(), 2)), plainNumber(s.left)});
        if (roundEven(s.difference(), 2) != 0)
            item->setForeground(10, Qt::red);
    }
    d->list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (!d->shifts.isEmpty())
        d->list->setCurrentItem(d->list->topLevelItem(0));

    auto *print = new QPushButton(QStringLiteral("打印"), this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    print->setEnabled(!d->shifts.isEmpty());
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(print);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->list, 1);
    layout->addLayout(buttons);
    resize(900, 420);

    connect(print, &QPushButton::clicked, this, &ShiftsWindow::printChosen);
    connect(d->list, &QTreeWidget::itemDoubleClicked, this, &ShiftsWindow::printChosen);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

ShiftsWindow::~ShiftsWindow() = default;

void ShiftsWindow::printChosen()
{
    const int row = d->list->indexOfTopLevelItem(d->list->currentItem());
    if (row >= 0 && row < d->shifts.size())
        showShiftReport(d->shifts.at(row), d->service.anchor(), this);
}

QWidget *showShiftReport(const Shift &shift, const QString &anchor, QWidget *parent)
{
    auto *window = new PrintWindow(
        {TextRun{shiftReport(shift).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), 12}}, {},
        QStringLiteral("交班报表"), anchor, parent);
    window->show();
    return window;
}
