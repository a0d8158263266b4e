#include "logindialog.h"

#include "ui/widgets/messages.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LoginDialog::LoginDialog(LoginService logins, QWidget *parent) : QDialog(parent), m_logins(std::move(logins))
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("登录"));

    m_name = new QComboBox(this);
    m_name->setObjectName(QStringLiteral("cboUserName"));
    m_name->setEditable(true);
    m_name->setInsertPolicy(QComboBox::NoInsert);
    m_name->addItems(m_logins.operatorNames());
    // The counter is mostly worked by whoever logged in last.
    const int last = m_name->findText(m_logins.lastLoggedIn(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (last >= 0)
        m_name->setCurrentIndex(last);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);

    auto *form = new QFormLayout;
    auto *nameLabel = new QLabel(QStringLiteral("用户名称(&U):"), this);
    nameLabel->setBuddy(m_name);
    auto *passwordLabel = new QLabel(QStringLiteral("密码(&P):"), this);
    passwordLabel->setBuddy(m_password);
    form->addRow(nameLabel, m_name);
    form->addRow(passwordLabel, m_password);

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
    setTabOrder(m_name, m_password);
    setTabOrder(m_password, ok);
    setTabOrder(ok, cancel);
    // Most logins are by an operator already in the list: start with the password.
    if (m_name->count() > 0)
        m_password->setFocus();
}

void LoginDialog::tryLogin()
{
    const Result<Operator> op = m_logins.logIn(m_name->currentText(), m_password->text());
    if (!op) {
        Messages::tell(this, QStringLiteral("登录"), op.error(), QMessageBox::Warning);
        m_password->setFocus();
        m_password->selectAll();
        return;
    }
    m_loggedIn = *op;
    accept();
}
