#include "sessionstartdialog.h"

#include "billing/sessionstart.h"
#include "common/numbers.h"
#include "desk/frontdesk.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/numberedit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

struct SessionStartDialog::Private
{
    explicit Private(FrontDesk &desk) : desk(desk) {}

    FrontDesk &desk;
    int position = 0;
    double rate = 0;
    QComboBox *name = nullptr;
    QComboBox *idKind = nullptr;
    QLineEdit *idNumber = nullptr;
    QLineEdit *hours = nullptr;
    QLineEdit *minutes = nullptr;
    QLineEdit *prepaid = nullptr;
    QPushButton *startTiming = nullptr;
    QPushButton *startOvernight = nullptr;
    QPushButton *change = nullptr;

    SessionInput input() const
    {
        return {name->currentText(), idKind->currentText(), idNumber->text(),
                hours->text(),       minutes->text(),       prepaid->text()};
    }

    void fillCustomers()
    {
        name->clear();
        for (const Customer &c : desk.accounts().registeredCustomers())
            name->addItem(c.name, QVariantList{c.idKind, c.idNumber});
        name->setCurrentIndex(-1);
    }
};

namespace {

QComboBox *editableCombo(QWidget *parent, const QString &objectName)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(objectName);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMinimumContentsLength(14);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return combo;
}

QLabel *buddyLabel(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

SessionStartDialog::SessionStartDialog(FrontDesk &desk, Mode mode, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(desk))
{
    d->position = desk.selected();
    const std::optional<Machine> machine = desk.selectedMachine();
    d->rate = machine ? machine->rate : 0;
    const MachineList::Entry *entry = desk.machineList().at(d->position);
    const QString entryText = entry ? entry->text : (machine ? machine->name : QString());
    setWindowTitle(entryText + (mode == Mode::Start ? QStringLiteral("->开始记费？")
                                                    : QStringLiteral("->重新设定开机？")));

    d->name = editableCombo(this, QStringLiteral("txtSJName"));
    d->idKind = editableCombo(this, QStringLiteral("comSjZhengJi"));
    d->idKind->addItems({QStringLiteral("身份证"), QStringLiteral("工作证"), QStringLiteral("学生证"),
                         QStringLiteral("士兵证")});
    d->idKind->setCurrentIndex(-1);
    d->idNumber = new QLineEdit(this);
    d->idNumber->setObjectName(QStringLiteral("txtZhengJian"));
    d->hours = numberEdit(this, QStringLiteral("设定时"), false);
    d->minutes = numberEdit(this, QStringLiteral("设定分"), false);
    // Four characters for the amount, checked on typing only: an amount already stored with
    // more digits still shows (and is kept) in full.
    d->prepaid = numberEdit(this, QStringLiteral("预交金额"), true);
    d->prepaid->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]{0,4}")), d->prepaid));
    for (QLineEdit *e : {d->hours, d->minutes, d->prepaid}) {
        e->setAlignment(Qt::AlignRight);
        e->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("0")) * 6 + 16);
    }

    d->startTiming = new QPushButton(QStringLiteral("开始计时"), this);
    d->startTiming->setObjectName(QStringLiteral("cmdOpen"));
    d->startOvernight = new QPushButton(QStringLiteral("开始通宵"), this);
    d->startOvernight->setObjectName(QStringLiteral("Command8"));
    d->change = new QPushButton(QStringLiteral("设定"), this);
    d->change->setObjectName(QStringLiteral("Command12"));
    const bool starting = mode == Mode::Start;
    d->startTiming->setEnabled(starting);
    d->startOvernight->setEnabled(starting);
    d->change->setEnabled(!starting);
    (starting ? d->startTiming : d->change)->setDefault(true);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    grid->addWidget(buddyLabel(QStringLiteral("上机人姓名："), d->name, this), 0, 0);
    grid->addWidget(d->name, 0, 1);
    grid->addWidget(buddyLabel(QStringLiteral("上机人证件："), d->idKind, this), 1, 0);
    grid->addWidget(d->idKind, 1, 1);
    grid->addWidget(buddyLabel(QStringLiteral("证件号码："), d->idNumber, this), 2, 0);
    grid->addWidget(d->idNumber, 2, 1);

    auto *time = new QHBoxLayout;
    time->addWidget(d->hours);
    time->addWidget(new QLabel(QStringLiteral("小时"), this));
    time->addSpacing(8);
    time->addWidget(d->minutes);
    time->addWidget(new QLabel(QStringLiteral("分钟"), this));
    time->addStretch();
    grid->addWidget(buddyLabel(QStringLiteral("设定时间："), d->hours, this), 3, 0);
    grid->addLayout(time, 3, 1);

    auto *amount = new QHBoxLayout;
    amount->addWidget(d->prepaid);
    amount->addWidget(new QLabel(QStringLiteral("元"), this));
    amount->addStretch();
    grid->addWidget(buddyLabel(QStringLiteral("预交金额："), d->prepaid, this), 4, 0);
    grid->addLayout(amount, 4, 1);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(d->startTiming);
    buttons->addWidget(d->startOvernight);
    buttons->addWidget(d->change);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(14);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(d->name, d->idKind);
    setTabOrder(d->idKind, d->idNumber);
    setTabOrder(d->idNumber, d->hours);
    setTabOrder(d->hours, d->minutes);
    setTabOrder(d->minutes, d->prepaid);
    setTabOrder(d->prepaid, d->startTiming);
    setTabOrder(d->startTiming, d->startOvernight);
    setTabOrder(d->startOvernight, d->change);

    connect(d->name, &QComboBox::activated, this, [this](int index) {
        const QVariantList id = d->name->itemData(index).toList();
        if (id.size() == 2) {
            d->idKind->setEditText(id.at(0).toString());
            d->idNumber->setText(id.at(1).toString());
        }
    });
    connect(d->minutes, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (numberValue(text) >= 60) {
            Messages::tell(this, QStringLiteral("问题"), QStringLiteral("分的设置最大为59"),
                           QMessageBox::Warning);
            d->minutes->clear();
        }
    });
    connect(d->prepaid, &QLineEdit::textChanged, this, [this](const QString &text) {
        const SessionStart::TimeFields t = SessionStart::amountToTime(numberValue(text), d->rate);
        d->hours->setText(t.hours);
        d->minutes->setText(t.minutes);
    });
    connect(d->startTiming, &QPushButton::clicked, this, [this] { start(false); });
    connect(d->startOvernight, &QPushButton::clicked, this, [this] { start(true); });
    connect(d->change, &QPushButton::clicked, this, [this] { change(); });

    d->fillCustomers();
    if (machine) {
        d->idKind->setEditText(machine->idKind);
        d->name->setEditText(machine->customer);
        d->idNumber->setText(machine->idNumber);
        d->prepaid->setText(plainNumber(machine->prepaid));
    }
    d->name->setFocus();
}

SessionStartDialog::~SessionStartDialog() = default;

void SessionStartDialog::start(bool overnight)
{
    FrontDesk &desk = d->desk;
    // The window is checked before the customer question: a refused start asks nothing.
    if (overnight) {
        if (const std::optional<QString> refusal = desk.settings().overnightRefusal()) {
            Messages::tell(this, QStringLiteral("错误"), *refusal, QMessageBox::Critical);
            return;
        }
    }
    const SessionInput input = d->input();
    bool registerCustomer = false;
    if (desk.accounts().isNewCustomer(input.name)) {
        registerCustomer =
            Messages::ask(this, QString(), QStringLiteral("这个一个新用户，是否添加到用户表中？"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
    }
    const Result<> started = overnight ? desk.startOvernight(d->position, input, registerCustomer)
                                       : desk.startTiming(d->position, input, registerCustomer);
    if (!started) {
        Messages::tell(this, QStringLiteral("错误"), started.error(), QMessageBox::Critical);
        return;
    }
    accept();
}

void SessionStartDialog::change()
{
    if (const Result<> changed = d->desk.changeSession(d->position, d->input()); !changed) {
        Messages::tell(this, QStringLiteral("错误"), changed.error(), QMessageBox::Critical);
        return;
    }
    accept();
}
