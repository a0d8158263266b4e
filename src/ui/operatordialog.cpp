#include "operatordialog.h"

#include "accounts/operators.h"
#include "accounts/rights.h"
#include "messages.h"
#include "recordlayout.h"
#include "windowfit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

OperatorDialog::OperatorDialog(AccountService accounts, const QString &currentOperator, QWidget *parent)
    : QDialog(parent), m_accounts(std::move(accounts)), m_currentOperator(currentOperator)
{
    setObjectName(QStringLiteral("frmAdmin"));
    setWindowTitle(QStringLiteral("管理员设置"));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lvwUser"));
    m_list->setHeaderLabels({QStringLiteral("用户名"), QStringLiteral("密码"), QStringLiteral("权限")});
    m_list->setRootIsDecorated(false);
    m_list->header()->setSectionResizeMode(QHeaderView::Stretch);

    m_frame = new QGroupBox(QStringLiteral("用户设置："), this);
    m_frame->setObjectName(QStringLiteral("fraUser"));
    m_name = RecordLayout::textField(m_frame, QStringLiteral("txtUserName"));
    m_right = new QComboBox(m_frame);
    m_right->setObjectName(QStringLiteral("cboRight"));
    m_right->addItems(rights::labels());
    auto passwordField = [this](const char *name) {
        auto *edit = new QLineEdit(m_frame);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMaxLength(14);
        edit->setEchoMode(QLineEdit::Password); // passwords are never shown
        return edit;
    };
    m_oldPassword = passwordField("txtOldPassword");
    m_newPassword = passwordField("txtNewPassword");
    m_confirm = passwordField("txtConfirmPassword");
    auto *form = new QFormLayout(m_frame);
    form->addRow(QStringLiteral("用户名："), m_name);
    form->addRow(QStringLiteral("权限："), m_right);
    form->addRow(QStringLiteral("原密码："), m_oldPassword);
    form->addRow(QStringLiteral("新密码："), m_newPassword);
    form->addRow(QStringLiteral("确认密码："), m_confirm);

    using RecordLayout::command;
    m_add = command(this, QStringLiteral("添加用户"), "cmdAdd");
    m_modify = command(this, QStringLiteral("修改用户"), "cmdModify");
    m_delete = command(this, QStringLiteral("删除用户"), "cmdDelete");
    m_save = command(this, QStringLiteral("保存设置"), "cmdSave");
    QPushButton *close = command(this, QStringLiteral("关闭窗口"), "cmdClose");

    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {m_add, m_modify, m_delete, m_save, close})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    left->addWidget(m_list);
    left->addWidget(m_frame);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    resize(480, 300);
    WindowFit::fit(this);

    connect(m_add, &QPushButton::clicked, this, &OperatorDialog::toggleAdd);
    connect(m_modify, &QPushButton::clicked, this, &OperatorDialog::toggleModify);
    connect(m_save, &QPushButton::clicked, this, &OperatorDialog::save);
    connect(m_delete, &QPushButton::clicked, this, &OperatorDialog::remove);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    for (QLineEdit *e : {m_name, m_oldPassword, m_newPassword, m_confirm})
        connect(e, &QLineEdit::textEdited, m_save, [this] { m_save->setEnabled(true); });
    connect(m_right, &QComboBox::activated, m_save, [this] { m_save->setEnabled(true); });

    rebuild();
    setMode(Mode::Browse);
}

void OperatorDialog::rebuild()
{
    const Result<QList<Operator>> operators = m_accounts.operators();
    if (!operators)
        Messages::tell(this, QStringLiteral("错误"), operators.error(), QMessageBox::Critical);
    m_operators = operators.value_or(QList<Operator>());
    m_list->clear();
    for (const Operator &o : m_operators)
        new QTreeWidgetItem(m_list, {o.name, QStringLiteral("********"), rights::label(o.right)});
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
}

const Operator *OperatorDialog::current() const
{
    const int row = m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
    return row >= 0 && row < m_operators.size() ? &m_operators[row] : nullptr;
}

void OperatorDialog::setMode(Mode mode)
{
    m_mode = mode;
    RecordLayout::showEditing(mode == Mode::Adding, mode == Mode::Modifying, m_list, m_frame, m_add,
                              QStringLiteral("添加用户"), m_modify, QStringLiteral("修改用户"), m_delete);
    // Adding may save at once; modifying waits for the first edit.
    m_save->setEnabled(mode == Mode::Adding);
}

void OperatorDialog::toggleAdd()
{
    if (m_mode == Mode::Adding) {
        setMode(Mode::Browse);
        return;
    }
    for (QLineEdit *e : {m_name, m_oldPassword, m_newPassword, m_confirm})
        e->clear();
    m_right->setCurrentIndex(0);
    setMode(Mode::Adding);
    m_name->setFocus();
}

void OperatorDialog::toggleModify()
{
    if (m_mode == Mode::Modifying) {
        setMode(Mode::Browse);
        return;
    }
    const Operator *op = current();
    if (!op)
        return;
    m_name->setText(op->name);
    const int index = rights::labels().indexOf(rights::label(op->right));
    if (index >= 0)
        m_right->setCurrentIndex(index);
    for (QLineEdit *e : {m_oldPassword, m_newPassword, m_confirm})
        e->clear();
    setMode(Mode::Modifying);
    m_name->setFocus();
}

void OperatorDialog::save()
{
    OperatorEdit edit;
    if (m_mode == Mode::Modifying) {
        const Operator *op = current();
        if (!op)
            return;
        edit.rowid = op->rowid;
    }
    edit.name = m_name->text();
    edit.right = m_right->currentText().left(1);
    edit.oldPassword = m_oldPassword->text();
    edit.newPassword = m_newPassword->text();
    edit.confirmPassword = m_confirm->text();

    // The logged-in operator renaming itself is still the one that cannot be deleted.
    const bool renamingSelf = m_mode == Mode::Modifying && current()->name == m_currentOperator;
    const auto saved = m_accounts.saveOperator(edit);
    if (saved && renamingSelf && edit.name != m_currentOperator) {
        m_currentOperator = edit.name;
        emit currentRenamed(edit.name);
    }
    if (!saved) {
        const OperatorSaveError &e = saved.error();
        switch (e.focus) {
        case OperatorField::Name:
            Messages::tell(this, QStringLiteral("错误"), e.message,
                           m_name->text().trimmed().isEmpty() ? QMessageBox::Critical : QMessageBox::Warning);
            m_name->setFocus();
            m_name->selectAll();
            break;
        case OperatorField::NewPassword:
            Messages::tell(this, QStringLiteral("错误"), e.message, QMessageBox::Critical);
            m_newPassword->clear();
            m_confirm->clear();
            m_newPassword->setFocus();
            break;
        case OperatorField::OldPassword:
            Messages::tell(this, QStringLiteral("错误"), e.message, QMessageBox::Critical);
            for (QLineEdit *p : {m_oldPassword, m_newPassword, m_confirm})
                p->clear();
            m_oldPassword->setFocus();
            break;
        case OperatorField::None:
            Messages::tell(this, QStringLiteral("错误"), e.message, QMessageBox::Critical);
            break;
        }
        return;
    }
    setMode(Mode::Browse);
    rebuild();
}

void OperatorDialog::remove()
{
    const Operator *op = current();
    if (!op)
        return;
    const Operator victim = *op;
    if (Messages::ask(this, QStringLiteral("问题"),
                      QStringLiteral("确实要删除用户：") + victim.name + QStringLiteral(" 吗?"),
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    QString password;
    if (victim.right == u"D") {
        bool ok = false;
        password =
            Messages::input(this, QStringLiteral("管理员设置"), QStringLiteral("请输入密码："), true, &ok);
        if (!ok)
            return;
    }
    const Result<> done = m_accounts.deleteOperator(victim, password, m_currentOperator);
    if (!done)
        Messages::tell(this, QStringLiteral("错误"), done.error(), QMessageBox::Critical);
    rebuild();
}
