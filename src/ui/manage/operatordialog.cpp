#include "operatordialog.h"

#include "accounts/operators.h"
#include "accounts/rights.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/recordlayout.h"
#include "ui/widgets/windowfit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

struct OperatorDialog::Private
{
    AccountService accounts;
    QString currentOperator;
    QList<Operator> operators;

    QLineEdit *name = nullptr;
    QComboBox *right = nullptr;
    QLineEdit *oldPassword = nullptr;
    QLineEdit *newPassword = nullptr;
    QLineEdit *confirm = nullptr;
};

OperatorDialog::OperatorDialog(AccountService accounts, const QString &currentOperator, QWidget *parent)
    : RecordDialog(parent), d(std::make_unique<Private>(std::move(accounts), currentOperator))
{
    setObjectName(QStringLiteral("frmAdmin"));
    setWindowTitle(QStringLiteral("管理员设置"));

    QTreeWidget *list =
        RecordLayout::list(this, QStringLiteral("lvwUser"),
                           {QStringLiteral("用户名"), QStringLiteral("密码"), QStringLiteral("权限")});
    list->header()->setSectionResizeMode(QHeaderView::Stretch);

    auto *frame = new QGroupBox(QStringLiteral("用户设置："), this);
    frame->setObjectName(QStringLiteral("fraUser"));
    d->name = RecordLayout::textField(frame, QStringLiteral("txtUserName"));
    d->right = new QComboBox(frame);
    d->right->setObjectName(QStringLiteral("cboRight"));
    d->right->addItems(rights::labels());
    auto passwordField = [frame](const char *name) {
        auto *edit = new QLineEdit(frame);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMaxLength(14);
        edit->setEchoMode(QLineEdit::Password); // passwords are never shown
        return edit;
    };
    d->oldPassword = passwordField("txtOldPassword");
    d->newPassword = passwordField("txtNewPassword");
    d->confirm = passwordField("txtConfirmPassword");
    auto *form = new QFormLayout(frame);
    form->addRow(QStringLiteral("用户名："), d->name);
    form->addRow(QStringLiteral("权限："), d->right);
    form->addRow(QStringLiteral("原密码："), d->oldPassword);
    form->addRow(QStringLiteral("新密码："), d->newPassword);
    form->addRow(QStringLiteral("确认密码："), d->confirm);

    using RecordLayout::command;
    QPushButton *add = command(this, QStringLiteral("添加用户"), "cmdAdd");
    QPushButton *modify = command(this, QStringLiteral("修改用户"), "cmdModify");
    QPushButton *remove = command(this, QStringLiteral("删除用户"), "cmdDelete");
    QPushButton *save = command(this, QStringLiteral("保存设置"), "cmdSave");
    QPushButton *close = command(this, QStringLiteral("关闭窗口"), "cmdClose");

    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {add, modify, remove, save, close})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    left->addWidget(list);
    left->addWidget(frame);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    resize(480, 300);
    WindowFit::fit(this);

    // Adding may save at once; modifying waits for the first edit.
    attach(list, frame, add, modify, remove, save, Abandon::EachButton, SaveFrom::AddingStart);
    watch({d->name, d->oldPassword, d->newPassword, d->confirm});
    connect(d->right, &QComboBox::activated, this, &OperatorDialog::edited);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    reload();
}

OperatorDialog::~OperatorDialog() = default;

QList<QStringList> OperatorDialog::loadRows()
{
    d->operators = valueOrSay(d->accounts.operators());
    QList<QStringList> rows;
    for (const Operator &o : std::as_const(d->operators))
        rows << QStringList{o.name, QStringLiteral("********"), rights::label(o.right)};
    return rows;
}

void OperatorDialog::showRow(int row)
{
    d->name->setText(row >= 0 ? d->operators.at(row).name : QString());
    const int index = row >= 0 ? rights::labels().indexOf(rights::label(d->operators.at(row).right)) : 0;
    if (index >= 0)
        d->right->setCurrentIndex(index);
    for (QLineEdit *e : {d->oldPassword, d->newPassword, d->confirm})
        e->clear();
}

bool OperatorDialog::prepareAdding()
{
    showRow(-1);
    return true;
}

QWidget *OperatorDialog::firstField() const
{
    return d->name;
}

void OperatorDialog::saveRecord(bool adding, int row)
{
    OperatorEdit edit;
    if (!adding)
        edit.rowid = d->operators.at(row).rowid;
    edit.name = d->name->text();
    edit.right = d->right->currentText().left(1);
    edit.oldPassword = d->oldPassword->text();
    edit.newPassword = d->newPassword->text();
    edit.confirmPassword = d->confirm->text();

    // The logged-in operator renaming itself is still the one that cannot be deleted.
    const bool renamingSelf = !adding && d->operators.at(row).name == d->currentOperator;
    const auto saved = d->accounts.saveOperator(edit);
    if (saved && renamingSelf && edit.name != d->currentOperator) {
        d->currentOperator = edit.name;
        emit currentRenamed(edit.name);
    }
    if (!saved) {
        const OperatorSaveError &e = saved.error();
        switch (e.focus) {
        case OperatorField::Name:
            Messages::tell(this, QStringLiteral("错误"), e.message,
                           d->name->text().trimmed().isEmpty() ? QMessageBox::Critical
                                                               : QMessageBox::Warning);
            d->name->setFocus();
            d->name->selectAll();
            break;
        case OperatorField::NewPassword:
            fail(e.message);
            d->newPassword->clear();
            d->confirm->clear();
            d->newPassword->setFocus();
            break;
        case OperatorField::OldPassword:
            fail(e.message);
            for (QLineEdit *p : {d->oldPassword, d->newPassword, d->confirm})
                p->clear();
            d->oldPassword->setFocus();
            break;
        case OperatorField::None:
            fail(e.message);
            break;
        }
        return;
    }
    leaveEditing(0);
}

void OperatorDialog::removeRecord(int row)
{
    const Operator victim = d->operators.at(row);
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
    const Result<> done = d->accounts.deleteOperator(victim, password, d->currentOperator);
    if (!done)
        fail(done.error());
    reload();
}
