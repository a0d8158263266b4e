#include "carddialog.h"

#include "common/numbers.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/numberedit.h"
#include "ui/widgets/recordlayout.h"
#include "ui/widgets/windowfit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

enum Field { Number, Total, Hours, Password, CustomerNumber, UsedHours, Sessions, Balance };

// The card as the list shows it: the password masked.
QStringList texts(const Card &c)
{
    return {c.number,   plainNumber(c.total),     plainNumber(c.totalHours),   QStringLiteral("********"),
            c.customer, plainNumber(c.usedHours), QString::number(c.sessions), plainNumber(c.balance)};
}

} // namespace

struct CardDialog::Private
{
    AccountService accounts;
    cards::Draw draw;
    QList<Card> cards;
    QLineEdit *fields[kFields] = {};
    QComboBox *customer = nullptr;
    QPushButton *generate = nullptr;
    QPushButton *topUp = nullptr;
};

CardDialog::CardDialog(AccountService accounts, QWidget *parent, cards::Draw draw)
    : RecordDialog(parent), d(std::make_unique<Private>(std::move(accounts), std::move(draw)))
{
    setObjectName(QStringLiteral("frmCJKGL"));
    setWindowTitle(QStringLiteral("储金卡管理"));

    QTreeWidget *list =
        RecordLayout::list(this, QStringLiteral("lvwCard"),
                           {QStringLiteral("卡号"), QStringLiteral("总金额"), QStringLiteral("总机时"),
                            QStringLiteral("密码"), QStringLiteral("客户编号"), QStringLiteral("已用机时"),
                            QStringLiteral("上机次数"), QStringLiteral("剩余金额")});

    auto *frame = new QGroupBox(QStringLiteral("修改储金卡："), this);
    frame->setObjectName(QStringLiteral("fraCard"));
    const QString labels[kFields] = {QStringLiteral("卡号："),     QStringLiteral("总金额："),
                                     QStringLiteral("总机时："),   QStringLiteral("密码："),
                                     QStringLiteral("客户编号："), QStringLiteral("已用机时："),
                                     QStringLiteral("上机次数："), QStringLiteral("剩余金额：")};
    auto *form = new QFormLayout(frame);
    for (int i = 0; i < kFields; ++i) {
        const QString name = QStringLiteral("txtField%1").arg(i);
        QLineEdit *field = i <= Hours ? numberEdit(frame, name, true) : new QLineEdit(frame);
        field->setObjectName(name);
        field->setReadOnly(i == Number || i >= CustomerNumber);
        // Fields nobody types into stay out of the Tab order: 密码 is followed by the customer.
        if (i == Number || i >= CustomerNumber)
            field->setFocusPolicy(Qt::ClickFocus);
        if (i == Password) {
            // Card passwords are never shown; an empty field on modify keeps the stored one.
            field->setEchoMode(QLineEdit::Password);
        }
        form->addRow(labels[i], field);
        d->fields[i] = field;
    }
    d->customer = new QComboBox(frame);
    d->customer->setObjectName(QStringLiteral("cboCustomer"));
    form->addRow(QStringLiteral("客户姓名："), d->customer);
    d->generate = new QPushButton(QStringLiteral("自动生成一个卡号"), frame);
    d->generate->setObjectName(QStringLiteral("cmdGenerate"));
    d->generate->setAutoDefault(false);
    form->addRow(QString(), d->generate);

    using RecordLayout::command;
    QPushButton *add = command(this, QStringLiteral("添加储金卡"), "cmdAdd");
    QPushButton *modify = command(this, QStringLiteral("修改储金卡"), "cmdModify");
    QPushButton *remove = command(this, QStringLiteral("删除储金卡"), "cmdDelete");
    QPushButton *save = command(this, QStringLiteral("保存设置"), "cmdSave");
    d->topUp = command(this, QStringLiteral("充值"), "cmdTopUp");
    QPushButton *close = command(this, QStringLiteral("关闭窗口"), "cmdClose");
    RecordLayout::arrange(this, list, frame, {add, modify, remove, save, d->topUp, close}, false);
    resize(680, 400);
    WindowFit::fit(this);

    // A new card may be saved as generated; a modified one waits for the first edit.
    attach(list, frame, add, modify, remove, save, Abandon::EachButton, SaveFrom::AddingStart);
    watch({std::begin(d->fields), std::end(d->fields)});
    connect(d->topUp, &QPushButton::clicked, this, &CardDialog::topUp);
    connect(d->generate, &QPushButton::clicked, this, &CardDialog::generate);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(d->fields[Total], &QLineEdit::textChanged, this, &CardDialog::totalChanged);
    connect(d->customer, &QComboBox::activated, this, [this](int index) {
        d->fields[CustomerNumber]->setText(d->customer->itemData(index).toString());
        edited();
    });
    reload();
}

CardDialog::~CardDialog() = default;

QList<QStringList> CardDialog::loadRows()
{
    d->cards = valueOrSay(d->accounts.cards());
    QList<QStringList> rows;
    for (const Card &c : std::as_const(d->cards))
        rows << texts(c);
    d->customer->clear();
    for (const Customer &c : d->accounts.cardOwners().value_or(QList<Customer>()))
        d->customer->addItem(c.name, c.number);
    d->customer->setCurrentIndex(-1);
    return rows;
}

void CardDialog::showRow(int row)
{
    const QStringList values = row >= 0 ? texts(d->cards.at(row)) : QStringList();
    for (int i = 0; i < kFields; ++i)
        d->fields[i]->setText(i == Password ? QString() : values.value(i));
    const int owner = row >= 0 ? d->customer->findData(d->cards.at(row).customer) : -1;
    if (owner >= 0)
        d->customer->setCurrentIndex(owner);
}

void CardDialog::modeChanged(Mode mode)
{
    const bool browsing = mode == Mode::Browsing;
    d->generate->setEnabled(mode == Mode::Adding);
    // The owner of an existing card cannot change.
    d->customer->setEnabled(mode == Mode::Adding);
    for (int i : {Total, Hours, Password})
        d->fields[i]->setReadOnly(browsing);
    d->fields[Password]->setPlaceholderText(mode == Mode::Modifying ? QStringLiteral("不修改则留空")
                                                                    : QString());
    d->topUp->setEnabled(browsing);
}

bool CardDialog::prepareAdding()
{
    showRow(-1);
    d->customer->setCurrentIndex(-1);
    generate();
    return true;
}

QWidget *CardDialog::firstField() const
{
    return d->fields[Total];
}

void CardDialog::generate()
{
    const Result<QString> number = d->accounts.generateCardNumber(d->draw);
    if (!number) {
        fail(number.error());
        return;
    }
    d->fields[Number]->setText(*number);
}

void CardDialog::totalChanged()
{
    if (mode() == Mode::Adding)
        d->fields[Balance]->setText(d->fields[Total]->text());
    else if (mode() == Mode::Modifying && currentRow() >= 0)
        d->fields[Balance]->setText(
            plainNumber(cards::remainingAfter(d->cards.at(currentRow()), d->fields[Total]->text())));
}

void CardDialog::saveRecord(bool adding, int row)
{
    const cards::CardInput input{d->fields[Number]->text(), d->fields[Total]->text(),
                                 d->fields[Hours]->text(), d->fields[Password]->text(),
                                 d->fields[CustomerNumber]->text()};
    const Result<Card> saved = d->accounts.saveCard(adding ? 0 : d->cards.at(row).rowid, input);
    if (!saved) {
        fail(saved.error());
        return;
    }
    leaveEditing(0);
}

void CardDialog::removeRecord(int row)
{
    const Card c = d->cards.at(row);
    if (Messages::ask(this, QStringLiteral("问题"), QStringLiteral("确定要删除当前卡吗？\n卡号") + c.number,
                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    if (const Result<> done = d->accounts.removeCard(c); !done)
        fail(done.error());
    reload();
}

void CardDialog::topUp()
{
    const int row = currentRow();
    if (mode() != Mode::Browsing || row < 0)
        return;
    const Card before = d->cards.at(row);
    bool ok = false;
    const QString amount =
        Messages::input(this, QStringLiteral("充值"),
                        QStringLiteral("卡号%1充值金额（元）：").arg(before.number), false, &ok);
    if (!ok)
        return;
    const Result<Card> done = d->accounts.topUp(before, amount);
    if (!done) {
        fail(done.error());
        return;
    }
    reload(row);
}
