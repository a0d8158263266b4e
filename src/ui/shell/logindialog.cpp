#include "logindialog.h"

#include "ui/widgets/messages.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

struct LoginDialog::Private
{
    LoginService logins;
    QComboBox *name = nullptr;
    QLineEdit *password = nullptr;
    std::optional<Operator> loggedIn;
};

LoginDialog::LoginDialog(LoginService logins, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(std::move(logins)))
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("登录"));

    d->name = new QComboBox(this);
    d->name->setObjectName(QStringLiteral("cboUserName"));
    d->name->setEditable(true);
    d->name->setInsertPolicy(QComboBox::NoInsert);
    d->name->addItems(d->logins.operatorNames());
    // The counter is mostly worked by whoever logged in last.
    const int last = d->name->findText(d->logins.lastLoggedIn(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (last >= 0)
        d->name->setCurrentIndex(last);
    d->password = new QLineEdit(this);
    d->password->setObjectName(QStringLiteral("txtPassword"));
    d->password->setEchoMode(QLineEdit::Password);

    auto *form = new QFormLayout;
    auto *nameLabel = new QLabel(QStringLiteral("用户名称(&U):"), this);
    nameLabel->setBuddy(d->name);
    auto *passwordLabel = new QLabel(QStringLiteral("密码(&P):"), this);
    passwordLabel->setBuddy(d->password);
    form->addRow(nameLabel, d->name);
    form->addRow(passwordLabel, d->password);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &LoginDialog::tryLogin);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(300);
    setTabOrder(d->name, d->password);
    setTabOrder(d->password, ok);
    setTabOrder(ok, cancel);
    // Most logins are by an operator already in the list: start with the password.
    if (d->name->count() > 0)
        d->password->setFocus();
}

LoginDialog::~LoginDialog() = default;

std::optional<Operator> LoginDialog::loggedIn() const
{
    return d->loggedIn;
}

void LoginDialog::tryLogin()
{
    const Result<Operator> op = d->logins.logIn(d->name->currentText(), d->password->text());
    if (!op) {
        Messages::tell(this, QStringLiteral("登录"), op.error(), QMessageBox::Warning);
        d->password->setFocus();
        d->password->selectAll();
        return;
    }
    d->loggedIn = *op;
    accept();
}
