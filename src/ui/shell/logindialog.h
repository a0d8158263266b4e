#pragma once

#include "desk/loginservice.h"
#include "store/accountrows.h"

#include <QDialog>
#include <optional>

class QComboBox;
class QLineEdit;

// "登录": asks an operator's name and password. Accepted once they match an operator;
// cancelling or closing logs nobody in.
class LoginDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit LoginDialog(LoginService logins, QWidget *parent = nullptr);

    // The operator who logged in; empty until then.
    std::optional<Operator> loggedIn() const { return m_loggedIn; }

private:
    void tryLogin();

    LoginService m_logins;
    QComboBox *m_name;
    QLineEdit *m_password;
    std::optional<Operator> m_loggedIn;
};
