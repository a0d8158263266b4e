#include "carddialog.h"

#include "common/numbers.h"
#include "messages.h"
#include "numberedit.h"
#include "recordlayout.h"
#include "windowfit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

enum Field { Number, Total, Hours, Password, CustomerNumber, UsedHours, Sessions, Balance };

const QString kMasked = QStringLiteral("********");

} // namespace

CardDialog::CardDialog(AccountService accounts, QWidget *parent, cards::Draw draw)
    : QDialog(parent), m_accounts(std::move(accounts)), m_draw(std::move(draw))
{
    setObjectName(QStringLiteral("frmCJKGL"));
    setWindowTitle(QStringLiteral("储金卡管理"));

    m_list =
        RecordLayout::list(this, QStringLiteral("lvwCard"),
                           {QStringLiteral("卡号"), QStringLiteral("总金额"), QStringLiteral("总机时"),
                            QStringLiteral("密码"), QStringLiteral("客户编号"), QStringLiteral("已用机时"),
                            QStringLiteral("上机次数"), QStringLiteral("剩余金额")});

    m_frame = new QGroupBox(QStringLiteral("修改储金卡："), this);
    m_frame->setObjectName(QStringLiteral("fraCard"));
    const QString labels[kFields] = {QStringLiteral("卡号："),     QStringLiteral("总金额："),
                                     QStringLiteral("总机时："),   QStringLiteral("密码："),
                                     QStringLiteral("客户编号："), QStringLiteral("已用机时："),
                                     QStringLiteral("上机次数："), QStringLiteral("剩余金额：")};
    auto *form = new QFormLayout(m_frame);
    for (int i = 0; i < kFields; ++i) {
        const QString name = QStringLiteral("txtField%1").arg(i);
        m_fields[i] = i <= Hours ? numberEdit(m_frame, name, true) : new QLineEdit(m_frame);
        m_fields[i]->setObjectName(name);
        m_fields[i]->setReadOnly(i == Number || i >= CustomerNumber);
        // Fields nobody types into stay out of the Tab order: 密码 is followed by the customer.
        if (i == Number || i >= CustomerNumber)
            m_fields[i]->setFocusPolicy(Qt::ClickFocus);
        if (i == Password) {
            // Card passwords are never shown; an empty field on modify keeps the stored one.
            m_fields[i]->setEchoMode(QLineEdit::Password);
        }
        form->addRow(labels[i], m_fields[i]);
    }
    m_customer = new QComboBox(m_frame);
    m_customer->setObjectName(QStringLiteral("cboCustomer"));
    form->addRow(QStringLiteral("客户姓名："), m_customer);
    m_generate = new QPushButton(QStringLiteral("自动生成一个卡号"), m_frame);
    m_generate->setObjectName(QStringLiteral("cmdGenerate"));
    m_generate->setAutoDefault(false);
    form->addRow(QString(), m_generate);

    using RecordLayout::command;
    m_add = command(this, QStringLiteral("添加储金卡"), "cmdAdd");
    m_modify = command(this, QStringLiteral("修改储金卡"), "cmdModify");
    m_delete = command(this, QStringLiteral("删除储金卡"), "cmdDelete");
    m_save = command(this, QStringLiteral("保存设置"), "cmdSave");
    m_topUp = command(this, QStringLiteral("充值"), "cmdTopUp");
    QPushButton *close = command(this, QStringLiteral("关闭窗口"), "cmdClose");
    RecordLayout::arrange(this, m_list, m_frame, {m_add, m_modify, m_delete, m_save, m_topUp, close}, false);
    resize(680, 400);
    WindowFit::fit(this);

    connect(m_list, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { select(m_list->indexOfTopLevelItem(item)); });
    connect(m_add, &QPushButton::clicked, this, &CardDialog::toggleAdd);
    connect(m_modify, &QPushButton::clicked, this, &CardDialog::toggleModify);
    connect(m_save, &QPushButton::clicked, this, &CardDialog::save);
    connect(m_delete, &QPushButton::clicked, this, &CardDialog::remove);
    connect(m_topUp, &QPushButton::clicked, this, &CardDialog::topUp);
    connect(m_generate, &QPushButton::clicked, this, &CardDialog::generate);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    for (QLineEdit *e : m_fields)
        connect(e, &QLineEdit::textChanged, m_save, [this] {
            if (m_mode != Mode::Browse)
                m_save->setEnabled(true);
        });
    connect(m_fields[Total], &QLineEdit::textChanged, this, &CardDialog::totalChanged);
    connect(m_customer, &QComboBox::activated, this,
            [this](int index) { m_fields[CustomerNumber]->setText(m_customer->itemData(index).toString()); });

    rebuild();
    setMode(Mode::Browse);
}

void CardDialog::rebuild()
{
    const Result<QList<Card>> cards = m_accounts.cards();
    if (!cards)
        Messages::tell(this, QStringLiteral("错误"), cards.error(), QMessageBox::Critical);
    m_cards = cards.value_or(QList<Card>());
    m_list->clear();
    for (const Card &c : m_cards)
        new QTreeWidgetItem(m_list,
                            {c.number, plainNumber(c.total), plainNumber(c.totalHours), kMasked, c.customer,
                             plainNumber(c.usedHours), QString::number(c.sessions), plainNumber(c.balance)});
    m_customer->clear();
    for (const Customer &c : m_accounts.cardOwners().value_or(QList<Customer>()))
        m_customer->addItem(c.name, c.number);
    m_customer->setCurrentIndex(-1);
    select(m_cards.isEmpty() ? -1 : 0);
}

void CardDialog::select(int row)
{
    m_selected = row >= 0 && row < m_cards.size() ? row : -1;
    const Mode mode = m_mode;
    m_mode = Mode::Browse; // filling the frame is not an edit
    if (m_selected < 0) {
        for (QLineEdit *e : m_fields)
            e->clear();
    } else {
        const Card &c = m_cards[m_selected];
        m_list->setCurrentItem(m_list->topLevelItem(m_selected));
        const QString values[kFields] = {
            c.number,   plainNumber(c.total),     plainNumber(c.totalHours),   QString(),
            c.customer, plainNumber(c.usedHours), QString::number(c.sessions), plainNumber(c.balance)};
        for (int i = 0; i < kFields; ++i)
            m_fields[i]->setText(values[i]);
        const int owner = m_customer->findData(c.customer);
        if (owner >= 0)
            m_customer->setCurrentIndex(owner);
    }
    m_mode = mode;
    m_save->setEnabled(false);
}

void CardDialog::setMode(Mode mode)
{
    m_mode = mode;
    const bool browsing = mode == Mode::Browse;
    RecordLayout::showEditing(mode == Mode::Adding, mode == Mode::Modifying, m_list, m_frame, m_add,
                              QStringLiteral("添加储金卡"), m_modify, QStringLiteral("修改储金卡"), m_delete);
    m_generate->setEnabled(mode == Mode::Adding);
    // The owner of an existing card cannot change.
    m_customer->setEnabled(mode == Mode::Adding);
    for (int i : {Total, Hours, Password})
        m_fields[i]->setReadOnly(browsing);
    m_fields[Password]->setPlaceholderText(mode == Mode::Modifying ? QStringLiteral("不修改则留空")
                                                                   : QString());
    m_save->setEnabled(false);
    m_topUp->setEnabled(browsing);
}

void CardDialog::toggleAdd()
{
    if (m_mode == Mode::Adding) {
        setMode(Mode::Browse);
        select(m_selected);
        return;
    }
    setMode(Mode::Adding);
    for (QLineEdit *e : m_fields)
        e->clear();
    m_customer->setCurrentIndex(-1);
    generate();
    m_fields[Total]->setFocus();
}

void CardDialog::toggleModify()
{
    if (m_mode == Mode::Modifying) {
        setMode(Mode::Browse);
        select(m_selected);
        return;
    }
    if (m_selected < 0)
        return;
    select(m_selected);
    setMode(Mode::Modifying);
    m_fields[Total]->setFocus();
}

void CardDialog::generate()
{
    const Result<QString> number = m_accounts.generateCardNumber(m_draw);
    if (!number) {
        Messages::tell(this, QStringLiteral("错误"), number.error(), QMessageBox::Critical);
        return;
    }
    m_fields[Number]->setText(*number);
}

void CardDialog::totalChanged()
{
    if (m_mode == Mode::Adding)
        m_fields[Balance]->setText(m_fields[Total]->text());
    else if (m_mode == Mode::Modifying && m_selected >= 0)
        m_fields[Balance]->setText(
            plainNumber(cards::remainingAfter(m_cards[m_selected], m_fields[Total]->text())));
}

void CardDialog::save()
{
    const cards::CardInput input{m_fields[Number]->text(), m_fields[Total]->text(), m_fields[Hours]->text(),
                                 m_fields[Password]->text(), m_fields[CustomerNumber]->text()};
    const bool adding = m_mode == Mode::Adding;
    if (!adding && !(m_mode == Mode::Modifying && m_selected >= 0))
        return;
    const qint64 rowid = adding ? 0 : m_cards[m_selected].rowid;
    const Result<Card> saved = m_accounts.saveCard(rowid, input);
    if (!saved) {
        Messages::tell(this, QStringLiteral("错误"), saved.error(), QMessageBox::Critical);
        return;
    }
    setMode(Mode::Browse);
    rebuild();
}

void CardDialog::remove()
{
    if (m_selected < 0)
        return;
    const Card c = m_cards[m_selected];
    if (Messages::ask(this, QStringLiteral("问题"), QStringLiteral("确定要删除当前卡吗？\n卡号") + c.number,
                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    if (const Result<> done = m_accounts.removeCard(c); !done)
        Messages::tell(this, QStringLiteral("错误"), done.error(), QMessageBox::Critical);
    rebuild();
}

void CardDialog::topUp()
{
    if (m_mode != Mode::Browse || m_selected < 0 || m_selected >= m_cards.size())
        return;
    const Card before = m_cards[m_selected];
    bool ok = false;
    const QString amount =
        Messages::input(this, QStringLiteral("充值"),
                        QStringLiteral("卡号%1充值金额（元）：").arg(before.number), false, &ok);
    if (!ok)
        return;
    const Result<Card> done = m_accounts.topUp(before, amount);
    if (!done) {
        Messages::tell(this, QStringLiteral("错误"), done.error(), QMessageBox::Critical);
        return;
    }
    const int selected = m_selected;
    rebuild();
    select(selected);
}
