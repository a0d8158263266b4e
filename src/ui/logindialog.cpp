#include "logindialog.h"

#include "accounts/guessthrottle.h"
#include "accounts/operators.h"
#include "audit/trail.h"
#include "common/commandpath.h"
#include "messages.h"
#include "store/accounttables.h"
#include "store/database.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LoginDialog::LoginDialog(Database &db, CommandPath &commands, GuessThrottle &throttle, QWidget *parent)
    : QDialog(parent), m_db(db), m_commands(commands), m_throttle(throttle)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("登录"));

    m_name = new QComboBox(this);
    m_name->setObjectName(QStringLiteral("cboUserName"));
    m_name->setEditable(true);
    m_name->setInsertPolicy(QComboBox::NoInsert);
    for (const Operator &o : OperatorTable(db).all())
        m_name->addItem(o.name);
    // The counter is mostly worked by whoever logged in last.
    const QList<audit::Entry> logins = audit::entries(db, {}, {}, QString(), 0, QStringLiteral("登录"));
    if (!logins.isEmpty()) {
        const int last =
            m_name->findText(logins.last().operatorName, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (last >= 0)
            m_name->setCurrentIndex(last);
    }
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
    const QString name = m_name->currentText();
    const auto op =
        verifyOperator(m_db, m_throttle, QStringLiteral("login dialog"), name, m_password->text());
    if (!op && op.error() == CheckFailure::Throttled) {
        // Not checked at all: saying "wrong" would mislead a right password.
        Messages::tell(this, QStringLiteral("登录"),
                       GuessThrottle::deskMessage(m_throttle.secondsLeft(GuessThrottle::operatorSubject(name),
                                                                         QStringLiteral("login dialog"))),
                       QMessageBox::Warning);
        m_password->setFocus();
        m_password->selectAll();
        return;
    }
    if (!op) {
        // Into the operator trail: who was tried, never what was typed as the password.
        CommandPath::Action failed{QStringLiteral("登录失败")};
        failed.actor = m_name->currentText();
        (void)m_commands.run(failed, [] { return Result<>(); });
        Messages::tell(this, QStringLiteral("登录"), QStringLiteral("无效的密码，请重试!"), QMessageBox::Warning);
        m_password->setFocus();
        m_password->selectAll();
        return;
    }
    m_loggedIn = *op;
    accept();
}
