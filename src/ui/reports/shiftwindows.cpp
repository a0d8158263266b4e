#include "shiftwindows.h"

#include "common/formats.h"
#include "common/numbers.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/numberedit.h"
#include "printwindow.h"

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

ShiftDialog::ShiftDialog(ShiftService &shifts, const Shift &open, QWidget *parent)
    : QDialog(parent), m_shifts(shifts), m_shift(open)
{
    setObjectName(QStringLiteral("frmShift"));
    setWindowTitle(QStringLiteral("交班"));

    m_counted = numberEdit(this, QStringLiteral("txtCounted"), true, 12);
    m_left = numberEdit(this, QStringLiteral("txtLeft"), true, 12);
    m_left->setText(plainNumber(open.openingFloat));
    m_difference = figure(QString(), "lblDifference", this);
    QFont bold = m_difference->font();
    bold.setBold(true);
    m_difference->setFont(bold);

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
    form->addRow(QStringLiteral("实点现金(&C)："), m_counted);
    form->addRow(QStringLiteral("留给下一班的备用金(&L)："), m_left);
    form->addRow(QStringLiteral("差额："), m_difference);

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
    setTabOrder(m_counted, m_left);
    setTabOrder(m_left, handOver);
    setTabOrder(handOver, cancel);
    m_counted->setFocus();

    connect(m_counted, &QLineEdit::textChanged, this, &ShiftDialog::showDifference);
    connect(handOver, &QPushButton::clicked, this, &ShiftDialog::handOver);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    showDifference();
}

void ShiftDialog::showDifference()
{
    if (m_counted->text().isEmpty()) {
        m_difference->clear();
        return;
    }
    const double difference = roundEven(numberValue(m_counted->text()) - m_shift.expected(), 2);
    m_difference->setText(yuan(difference));
    // A drawer that does not add up is seen at once.
    m_difference->setStyleSheet(difference != 0 ? QStringLiteral("color: red;") : QString());
}

void ShiftDialog::handOver()
{
    const Result<Shift> done = m_shifts.handOver(m_counted->text(), m_left->text());
    if (!done) {
        Messages::tell(this, QStringLiteral("错误"), done.error(), QMessageBox::Critical);
        return;
    }
    m_shift = *done;
    accept();
}

ShiftsWindow::ShiftsWindow(ShiftService shifts, QWidget *parent)
    : QWidget(parent, Qt::Window), m_service(shifts), m_shifts(m_service.past())
{
    setObjectName(QStringLiteral("frmShifts"));
    setWindowTitle(QStringLiteral("交班记录"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstShifts"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels(
        {QStringLiteral("上班时间"), QStringLiteral("交班时间"), QStringLiteral("操作员"),
         QStringLiteral("现金结帐"), QStringLiteral("储金卡结帐"), QStringLiteral("售卡及充值"),
         QStringLiteral("柜台零售"), QStringLiteral("上班备用金"), QStringLiteral("应有现金"),
         QStringLiteral("实点现金"), QStringLiteral("差额"), QStringLiteral("留存备用金")});
    for (const Shift &s : std::as_const(m_shifts)) {
        auto *item = new QTreeWidgetItem(
            m_list, {formatLongDateTime(s.start), formatLongDateTime(s.end), s.operatorName,
                     plainNumber(s.takings.sessionCash), plainNumber(s.takings.cardPaid),
                     plainNumber(s.takings.cardSales), plainNumber(s.takings.counterSales),
                     plainNumber(s.openingFloat), plainNumber(roundEven(s.expected(), 2)),
                     plainNumber(s.counted), plainNumber(roundEven(s.difference(), 2)), plainNumber(s.left)});
        if (roundEven(s.difference(), 2) != 0)
            item->setForeground(10, Qt::red);
    }
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (!m_shifts.isEmpty())
        m_list->setCurrentItem(m_list->topLevelItem(0));

    auto *print = new QPushButton(QStringLiteral("打印"), this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    print->setEnabled(!m_shifts.isEmpty());
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(print);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(900, 420);

    connect(print, &QPushButton::clicked, this, &ShiftsWindow::printChosen);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &ShiftsWindow::printChosen);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

void ShiftsWindow::printChosen()
{
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row >= 0 && row < m_shifts.size())
        showShiftReport(m_shifts.at(row), m_service.anchor(), this);
}

QWidget *showShiftReport(const Shift &shift, const QString &anchor, QWidget *parent)
{
    auto *window = new PrintWindow(
        {TextRun{shiftReport(shift).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), 12}}, {},
        QStringLiteral("交班报表"), anchor, parent);
    window->show();
    return window;
}
