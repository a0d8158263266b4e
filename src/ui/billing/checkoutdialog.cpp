#include "checkoutdialog.h"

#include "billing/checkout.h"
#include "common/numbers.h"
#include "desk/frontdesk.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/numberedit.h"
#include "ui/reports/reportoutput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

// 3480 and 6705 twips.
constexpr int kCollapsedHeight = 232;
constexpr int kExpandedHeight = 447;
constexpr int kWidth = 600;

const QString kShowDetails = QStringLiteral("详细资料>>");
const QString kHideDetails = QStringLiteral("<<详细资料");

QLabel *label(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

} // namespace

CheckoutDialog::CheckoutDialog(FrontDesk &desk, QWidget *parent)
    : QDialog(parent), m_desk(desk), m_checkout(desk.openCheckout(desk.selected()))
{
    setObjectName(QStringLiteral("frmEndPlay"));
    setWindowTitle(QStringLiteral("结帐"));
    // Without a machine there is nothing to check out; the figures stay empty.
    m_ready = m_checkout != nullptr;
    if (!m_checkout)
        m_checkout = std::make_unique<Checkout>(desk.billing(), desk.operatorName());
    buildWidgets();

    if (m_ready) {
        setWindowTitle(m_checkout->caption());
        for (const Checkout::OtherMachine &o : m_checkout->others())
            m_others->addItem(o.name);
    }
    showFigures();
    // Opens collapsed: the toggle hides the bill.
    toggleDetails();
    // The cashier's next step is the money taken: type it over what is shown.
    m_received->setFocus();
    m_received->selectAll();
}

CheckoutDialog::~CheckoutDialog() = default;

void CheckoutDialog::buildWidgets()
{
    m_due = new QLineEdit(this);
    m_due->setObjectName(QStringLiteral("txtDue"));
    m_due->setReadOnly(true);
    m_received = numberEdit(this, QStringLiteral("txtReceived"), true);
    m_discount = new QComboBox(this);
    m_discount->setObjectName(QStringLiteral("cboDiscount"));
    m_discount->setEditable(true);
    m_discount->setInsertPolicy(QComboBox::NoInsert);
    m_discount->addItems(
        {QStringLiteral("95"), QStringLiteral("90"), QStringLiteral("85"), QStringLiteral("80")});
    m_discount->setCurrentIndex(-1);
    m_discount->setEditText(QString());
    m_discount->lineEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]*")), m_discount));
    m_prepaid = new QLineEdit(this);
    m_prepaid->setObjectName(QStringLiteral("txtPrepaid"));
    m_prepaid->setReadOnly(true);

    QFont big = m_due->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.2);
    m_due->setFont(big);
    m_received->setFont(big);

    m_others = new QListWidget(this);
    m_others->setObjectName(QStringLiteral("lstMachines"));
    m_others->setSelectionMode(QAbstractItemView::MultiSelection);
    // The list takes the height the fields beside it leave; the bill gets the rest.
    m_others->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);

    m_card = new QCheckBox(QStringLiteral("使用储金卡"), this);
    m_card->setObjectName(QStringLiteral("chkCard"));
    m_cardNumber = new QLineEdit(this);
    m_cardNumber->setObjectName(QStringLiteral("txtCard"));
    m_cardPassword = new QLineEdit(this);
    m_cardPassword->setObjectName(QStringLiteral("txtPassword"));
    m_cardPassword->setEchoMode(QLineEdit::Password);
    m_cardNumber->setEnabled(false);
    m_cardPassword->setEnabled(false);

    m_bill = new QTextEdit(this);
    m_bill->setObjectName(QStringLiteral("rtbBill"));
    m_bill->setReadOnly(true);
    m_bill->setLineWrapMode(QTextEdit::NoWrap);

    auto *settle = new QPushButton(QStringLiteral("结帐"), this);
    settle->setObjectName(QStringLiteral("cmdSettle"));
    auto *settleOff = new QPushButton(QStringLiteral("结帐并关机"), this);
    settleOff->setObjectName(QStringLiteral("cmdSettleShutdown"));
    auto *print = new QPushButton(QStringLiteral("打印帐单"), this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    m_details = new QPushButton(kHideDetails, this);
    m_details->setObjectName(QStringLiteral("cmdDetails"));
    // Enter settles wherever the cashier is typing (but in 卡号, where it moves on to 密码).
    for (QPushButton *b : {settle, settleOff, print, m_details})
        b->setAutoDefault(false);
    settle->setDefault(true);
    // Ticks the card from the keyboard, with the caption as it is.
    m_card->setShortcut(QKeySequence(Qt::Key_F9));
    m_card->setToolTip(QStringLiteral("F9"));
    m_cardNumber->installEventFilter(this);

    m_change = new QLabel(this);
    m_change->setObjectName(QStringLiteral("lblChange"));
    QFont changeFont = m_change->font();
    changeFont.setBold(true);
    changeFont.setPointSizeF(changeFont.pointSizeF() * 1.2);
    m_change->setFont(changeFont);

    auto *fields = new QGridLayout;
    fields->addWidget(label(QStringLiteral("应收金额："), m_due, this), 0, 0);
    fields->addWidget(m_due, 0, 1);
    fields->addWidget(label(QStringLiteral("已收金额："), m_prepaid, this), 0, 2);
    fields->addWidget(m_prepaid, 0, 3);
    fields->addWidget(label(QStringLiteral("实收金额："), m_received, this), 1, 0);
    fields->addWidget(m_received, 1, 1);
    fields->addWidget(label(QStringLiteral("打折优惠："), m_discount, this), 1, 2);
    fields->addWidget(m_discount, 1, 3);
    fields->addWidget(m_card, 2, 0, 1, 4);
    fields->addWidget(label(QStringLiteral("卡号："), m_cardNumber, this), 3, 0);
    fields->addWidget(m_cardNumber, 3, 1);
    fields->addWidget(label(QStringLiteral("密码："), m_cardPassword, this), 3, 2);
    fields->addWidget(m_cardPassword, 3, 3);
    fields->addWidget(m_change, 2, 2, 1, 2);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);
    fields->setRowStretch(4, 1); // keep the fields together at the top

    auto *othersColumn = new QVBoxLayout;
    othersColumn->addWidget(label(QStringLiteral("其他一起结帐的机器："), m_others, this));
    othersColumn->addWidget(m_others, 1);

    auto *top = new QHBoxLayout;
    top->addLayout(fields, 3);
    top->addLayout(othersColumn, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(settle);
    buttons->addWidget(settleOff);
    buttons->addWidget(print);
    buttons->addStretch(1);
    buttons->addWidget(m_details);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(m_bill, 1);
    resize(kWidth, kCollapsedHeight);

    connect(m_received, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_checkout->setReceivedText(text);
        showBill();
        showChange();
    });
    connect(m_discount, &QComboBox::editTextChanged, this, [this](const QString &text) {
        m_checkout->setDiscountText(text);
        showFigures();
    });
    // Choosing the entry already shown changes no text but still recomputes.
    connect(m_discount, &QComboBox::textActivated, this, [this](const QString &text) {
        m_checkout->setDiscountText(text);
        showFigures();
    });
    connect(m_others, &QListWidget::itemSelectionChanged, this, [this] {
        QList<int> rows;
        for (int i = 0; i < m_others->count(); ++i)
            if (m_others->item(i)->isSelected())
                rows.append(i);
        m_checkout->setSelectedOthers(rows);
        showFigures();
    });
    connect(m_card, &QCheckBox::toggled, this, [this](bool on) {
        m_checkout->setUseCard(on);
        m_cardNumber->setEnabled(on);
        m_cardPassword->setEnabled(on);
        // The card's number is what the cashier types next.
        if (on)
            m_cardNumber->setFocus();
        showChange();
    });
    auto cardEdited = [this] { m_checkout->setCard(m_cardNumber->text(), m_cardPassword->text()); };
    connect(m_cardNumber, &QLineEdit::textEdited, this, cardEdited);
    connect(m_cardPassword, &QLineEdit::textEdited, this, cardEdited);
    connect(m_details, &QPushButton::clicked, this, &CheckoutDialog::toggleDetails);
    connect(settle, &QPushButton::clicked, this, [this] { this->settle(false); });
    connect(settleOff, &QPushButton::clicked, this, [this] { this->settle(true); });
    connect(print, &QPushButton::clicked, this, &CheckoutDialog::print);
}

void CheckoutDialog::showFigures()
{
    const QSignalBlocker b1(m_received);
    const QSignalBlocker b2(m_card);
    m_due->setText(m_checkout->dueText());
    m_prepaid->setText(m_checkout->prepaidText());
    if (m_received->text() != m_checkout->receivedText())
        m_received->setText(m_checkout->receivedText());
    if (m_discount->currentText() != m_checkout->discountText()) {
        const QSignalBlocker b3(m_discount);
        m_discount->setEditText(m_checkout->discountText());
    }
    m_card->setChecked(m_checkout->usesCard());
    m_cardNumber->setEnabled(m_checkout->usesCard());
    m_cardPassword->setEnabled(m_checkout->usesCard());
    m_cardNumber->setText(m_checkout->cardNumber());
    m_cardPassword->setText(m_checkout->cardPassword());
    showBill();
    showChange();
}

void CheckoutDialog::showChange()
{
    // The money to hand back: prepaid beyond what is taken, or change from what was given.
    const billtext::Payment p = m_checkout->payment();
    if (p.received < 0)
        m_change->setText(QStringLiteral("应退还：%1元").arg(plainNumber(-p.received)));
    else if (p.change > 0)
        m_change->setText(QStringLiteral("找零：%1元").arg(plainNumber(p.change)));
    else
        m_change->clear();
}

bool CheckoutDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Enter after the card's number asks for its password; Enter there settles.
    if (watched == m_cardNumber && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_cardPassword->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CheckoutDialog::showBill()
{
    QString text = m_checkout->bill().text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(u'\n'))
        text.chop(1);
    m_bill->setPlainText(text);
}

void CheckoutDialog::toggleDetails()
{
    if (m_details->text() == kHideDetails) {
        m_details->setText(kShowDetails);
        m_bill->hide();
        setFixedHeight(kCollapsedHeight);
    } else {
        m_details->setText(kHideDetails);
        m_bill->show();
        // Opens at its height, and may be pulled taller to read a bill of several machines.
        setMaximumHeight(QWIDGETSIZE_MAX);
        setMinimumHeight(kExpandedHeight);
        resize(width(), kExpandedHeight);
    }
}

void CheckoutDialog::useCard(const QString &number, const QString &password)
{
    m_checkout->setUseCard(true);
    m_checkout->setCard(number, password);
    showFigures();
}

void CheckoutDialog::settle(bool shutdown)
{
    const Checkout::Outcome outcome = m_desk.settle(*m_checkout, shutdown);
    if (outcome) {
        if (!outcome->card.isEmpty())
            m_outcomeNotice = QStringLiteral("卡内余额：%1元").arg(plainNumber(outcome->cardBalance));
        else if (!m_change->text().isEmpty())
            m_outcomeNotice = m_change->text();
        accept();
        return;
    }
    const Checkout::Refusal &refusal = outcome.error();
    switch (refusal.kind) {
    case Checkout::Refusal::Kind::NoMachine:
        reject();
        return;
    case Checkout::Refusal::Kind::MachineGone:
        // The bill no longer holds: the operator opens checkout again on what is left.
        Messages::tell(this, QStringLiteral("提示"), refusal.message, QMessageBox::Information);
        reject();
        return;
    case Checkout::Refusal::Kind::CardNoPrice:
        Messages::tell(this, QStringLiteral("警告"), refusal.message, QMessageBox::Warning);
        break;
    case Checkout::Refusal::Kind::CardWrong:
        Messages::tell(this, QStringLiteral("警告"), refusal.message, QMessageBox::Critical);
        break;
    case Checkout::Refusal::Kind::CardShort:
        Messages::tell(this, QStringLiteral("警告"), refusal.message, QMessageBox::Warning);
        break;
    case Checkout::Refusal::Kind::StoreFailed:
        Messages::tell(this, QStringLiteral("错误"), refusal.message, QMessageBox::Critical);
        break;
    }
    showFigures();
}

Result<> CheckoutDialog::printBill(QPrinter &printer) const
{
    return ReportOutput::printDocument(*m_bill->document(), printer, 0, m_desk.trailView().anchor());
}

void CheckoutDialog::print()
{
    QPrinter printer;
    if (!ReportOutput::choosePrinter(this, printer, QStringLiteral("帐单.pdf")))
        return;
    if (const Result<> printed = printBill(printer); !printed)
        Messages::tell(this, QStringLiteral("错误"), printed.error(), QMessageBox::Critical);
}
