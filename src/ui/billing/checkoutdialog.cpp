#include "checkoutdialog.h"

#include "billing/checkout.h"
#include "common/numbers.h"
#include "desk/frontdesk.h"
#include "ui/reports/reportoutput.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/numberedit.h"

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

struct CheckoutDialog::Private
{
    FrontDesk &desk;
    std::unique_ptr<Checkout> checkout;
    bool ready = false;
    QLineEdit *due = nullptr;
    QLineEdit *received = nullptr;
    QComboBox *discount = nullptr;
    QLineEdit *prepaid = nullptr;
    QListWidget *others = nullptr;
    QCheckBox *card = nullptr;
    QLineEdit *cardNumber = nullptr;
    QLineEdit *cardPassword = nullptr;
    QTextEdit *bill = nullptr;
    QPushButton *details = nullptr;
    QLabel *change = nullptr;
    QString outcomeNotice;
};

CheckoutDialog::CheckoutDialog(FrontDesk &desk, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(desk, desk.openCheckout(desk.selected())))
{
    setObjectName(QStringLiteral("frmEndPlay"));
    setWindowTitle(QStringLiteral("结帐"));
    // Without a machine there is nothing to check out; the figures stay empty.
    d->ready = d->checkout != nullptr;
    if (!d->checkout)
        d->checkout = std::make_unique<Checkout>(desk.billing(), desk.operatorName());
    buildWidgets();

    if (d->ready) {
        setWindowTitle(d->checkout->caption());
        for (const Checkout::OtherMachine &o : d->checkout->others())
            d->others->addItem(o.name);
    }
    showFigures();
    // Opens collapsed: the toggle hides the bill.
    toggleDetails();
    // The cashier's next step is the money taken: type it over what is shown.
    d->received->setFocus();
    d->received->selectAll();
}

CheckoutDialog::~CheckoutDialog() = default;

bool CheckoutDialog::isReady() const
{
    return d->ready;
}

QString CheckoutDialog::outcomeNotice() const
{
    return d->outcomeNotice;
}

void CheckoutDialog::buildWidgets()
{
    d->due = new QLineEdit(this);
    d->due->setObjectName(QStringLiteral("txtDue"));
    d->due->setReadOnly(true);
    d->received = numberEdit(this, QStringLiteral("txtReceived"), true);
    d->discount = new QComboBox(this);
    d->discount->setObjectName(QStringLiteral("cboDiscount"));
    d->discount->setEditable(true);
    d->discount->setInsertPolicy(QComboBox::NoInsert);
    d->discount->addItems(
        {QStringLiteral("95"), QStringLiteral("90"), QStringLiteral("85"), QStringLiteral("80")});
    d->discount->setCurrentIndex(-1);
    d->discount->setEditText(QString());
    d->discount->lineEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]*")), d->discount));
    d->prepaid = new QLineEdit(this);
    d->prepaid->setObjectName(QStringLiteral("txtPrepaid"));
    d->prepaid->setReadOnly(true);

    QFont big = d->due->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.2);
    d->due->setFont(big);
    d->received->setFont(big);

    d->others = new QListWidget(this);
    d->others->setObjectName(QStringLiteral("lstMachines"));
    d->others->setSelectionMode(QAbstractItemView::MultiSelection);
    // The list takes the height the fields beside it leave; the bill gets the rest.
    d->others->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);

    d->card = new QCheckBox(QStringLiteral("使用储金卡"), this);
    d->card->setObjectName(QStringLiteral("chkCard"));
    d->cardNumber = new QLineEdit(this);
    d->cardNumber->setObjectName(QStringLiteral("txtCard"));
    d->cardPassword = new QLineEdit(this);
    d->cardPassword->setObjectName(QStringLiteral("txtPassword"));
    d->cardPassword->setEchoMode(QLineEdit::Password);
    d->cardNumber->setEnabled(false);
    d->cardPassword->setEnabled(false);

    d->bill = new QTextEdit(this);
    d->bill->setObjectName(QStringLiteral("rtbBill"));
    d->bill->setReadOnly(true);
    d->bill->setLineWrapMode(QTextEdit::NoWrap);

    auto *settle = new QPushButton(QStringLiteral("结帐"), this);
    settle->setObjectName(QStringLiteral("cmdSettle"));
    auto *settleOff = new QPushButton(QStringLiteral("结帐并关机"), this);
    settleOff->setObjectName(QStringLiteral("cmdSettleShutdown"));
    auto *print = new QPushButton(QStringLiteral("打印帐单"), this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    d->details = new QPushButton(kHideDetails, this);
    d->details->setObjectName(QStringLiteral("cmdDetails"));
    // Enter settles wherever the cashier is typing (but in 卡号, where it moves on to 密码).
    for (QPushButton *b : {settle, settleOff, print, d->details})
        b->setAutoDefault(false);
    settle->setDefault(true);
    // Ticks the card from the keyboard, with the caption as it is.
    d->card->setShortcut(QKeySequence(Qt::Key_F9));
    d->card->setToolTip(QStringLiteral("F9"));
    d->cardNumber->installEventFilter(this);

    d->change = new QLabel(this);
    d->change->setObjectName(QStringLiteral("lblChange"));
    QFont changeFont = d->change->font();
    changeFont.setBold(true);
    changeFont.setPointSizeF(changeFont.pointSizeF() * 1.2);
    d->change->setFont(changeFont);

    auto *fields = new QGridLayout;
    fields->addWidget(label(QStringLiteral("应收金额："), d->due, this), 0, 0);
    fields->addWidget(d->due, 0, 1);
    fields->addWidget(label(QStringLiteral("已收金额："), d->prepaid, this), 0, 2);
    fields->addWidget(d->prepaid, 0, 3);
    fields->addWidget(label(QStringLiteral("实收金额："), d->received, this), 1, 0);
    fields->addWidget(d->received, 1, 1);
    fields->addWidget(label(QStringLiteral("打折优惠："), d->discount, this), 1, 2);
    fields->addWidget(d->discount, 1, 3);
    fields->addWidget(d->card, 2, 0, 1, 4);
    fields->addWidget(label(QStringLiteral("卡号："), d->cardNumber, this), 3, 0);
    fields->addWidget(d->cardNumber, 3, 1);
    fields->addWidget(label(QStringLiteral("密码："), d->cardPassword, this), 3, 2);
    fields->addWidget(d->cardPassword, 3, 3);
    fields->addWidget(d->change, 2, 2, 1, 2);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);
    fields->setRowStretch(4, 1); // keep the fields together at the top

    auto *othersColumn = new QVBoxLayout;
    othersColumn->addWidget(label(QStringLiteral("其他一起结帐的机器："), d->others, this));
    othersColumn->addWidget(d->others, 1);

    auto *top = new QHBoxLayout;
    top->addLayout(fields, 3);
    top->addLayout(othersColumn, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(settle);
    buttons->addWidget(settleOff);
    buttons->addWidget(print);
    buttons->addStretch(1);
    buttons->addWidget(d->details);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(d->bill, 1);
    resize(kWidth, kCollapsedHeight);

    connect(d->received, &QLineEdit::textEdited, this, [this](const QString &text) {
        d->checkout->setReceivedText(text);
        showBill();
        showChange();
    });
    connect(d->discount, &QComboBox::editTextChanged, this, [this](const QString &text) {
        d->checkout->setDiscountText(text);
        showFigures();
    });
    // Choosing the entry already shown changes no text but still recomputes.
    connect(d->discount, &QComboBox::textActivated, this, [this](const QString &text) {
        d->checkout->setDiscountText(text);
        showFigures();
    });
    connect(d->others, &QListWidget::itemSelectionChanged, this, [this] {
        QList<int> rows;
        for (int i = 0; i < d->others->count(); ++i)
            if (d->others->item(i)->isSelected())
                rows.append(i);
        d->checkout->setSelectedOthers(rows);
        showFigures();
    });
    connect(d->card, &QCheckBox::toggled, this, [this](bool on) {
        d->checkout->setUseCard(on);
        d->cardNumber->setEnabled(on);
        d->cardPassword->setEnabled(on);
        // The card's number is what the cashier types next.
        if (on)
            d->cardNumber->setFocus();
        showChange();
    });
    auto cardEdited = [this] { d->checkout->setCard(d->cardNumber->text(), d->cardPassword->text()); };
    connect(d->cardNumber, &QLineEdit::textEdited, this, cardEdited);
    connect(d->cardPassword, &QLineEdit::textEdited, this, cardEdited);
    connect(d->details, &QPushButton::clicked, this, &CheckoutDialog::toggleDetails);
    connect(settle, &QPushButton::clicked, this, [this] { this->settle(false); });
    connect(settleOff, &QPushButton::clicked, this, [this] { this->settle(true); });
    connect(print, &QPushButton::clicked, this, &CheckoutDialog::print);
}

void CheckoutDialog::showFigures()
{
    const QSignalBlocker b1(d->received);
    const QSignalBlocker b2(d->card);
    d->due->setText(d->checkout->dueText());
    d->prepaid->setText(d->checkout->prepaidText());
    if (d->received->text() != d->checkout->receivedText())
        d->received->setText(d->checkout->receivedText());
    if (d->discount->currentText() != d->checkout->discountText()) {
        const QSignalBlocker b3(d->discount);
        d->discount->setEditText(d->checkout->discountText());
    }
    d->card->setChecked(d->checkout->usesCard());
    d->cardNumber->setEnabled(d->checkout->usesCard());
    d->cardPassword->setEnabled(d->checkout->usesCard());
    d->cardNumber->setText(d->checkout->cardNumber());
    d->cardPassword->setText(d->checkout->cardPassword());
    showBill();
    showChange();
}

void CheckoutDialog::showChange()
{
    // The money to hand back: prepaid beyond what is taken, or change from what was given.
    const billtext::Payment p = d->checkout->payment();
    if (p.received < 0)
        d->change->setText(QStringLiteral("应退还：%1元").arg(plainNumber(-p.received)));
    else if (p.change > 0)
        d->change->setText(QStringLiteral("找零：%1元").arg(plainNumber(p.change)));
    else
        d->change->clear();
}

bool CheckoutDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Enter after the card's number asks for its password; Enter there settles.
    // The kind first: the children closing after the dialog's data is gone still send events.
    if (event->type() == QEvent::KeyPress && watched == d->cardNumber) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            d->cardPassword->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CheckoutDialog::showBill()
{
    QString text = d->checkout->bill().text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(u'\n'))
        text.chop(1);
    d->bill->setPlainText(text);
}

void CheckoutDialog::toggleDetails()
{
    if (d->details->text() == kHideDetails) {
        d->details->setText(kShowDetails);
        d->bill->hide();
        setFixedHeight(kCollapsedHeight);
    } else {
        d->details->setText(kHideDetails);
        d->bill->show();
        // Opens at its height, and may be pulled taller to read a bill of several machines.
        setMaximumHeight(QWIDGETSIZE_MAX);
        setMinimumHeight(kExpandedHeight);
        resize(width(), kExpandedHeight);
    }
}

void CheckoutDialog::useCard(const QString &number, const QString &password)
{
    d->checkout->setUseCard(true);
    d->checkout->setCard(number, password);
    showFigures();
}

void CheckoutDialog::settle(bool shutdown)
{
    const Checkout::Outcome outcome = d->desk.settle(*d->checkout, shutdown);
    if (outcome) {
        if (!outcome->card.isEmpty())
            d->outcomeNotice = QStringLiteral("卡内余额：%1元").arg(plainNumber(outcome->cardBalance));
        else if (!d->change->text().isEmpty())
            d->outcomeNotice = d->change->text();
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
    return ReportOutput::printDocument(*d->bill->document(), printer, 0, d->desk.trailView().anchor());
}

void CheckoutDialog::print()
{
    QPrinter printer;
    if (!ReportOutput::choosePrinter(this, printer, QStringLiteral("帐单.pdf")))
        return;
    if (const Result<> printed = printBill(printer); !printed)
        Messages::tell(this, QStringLiteral("错误"), printed.error(), QMessageBox::Critical);
}
