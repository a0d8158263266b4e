#pragma once

#include "desk/loginservice.h"
#include "store/accountrows.h"

#include <QDialog>
#include <memory>
#include <optional>

// "登录": asks an operator's name and password. Accepted once they match an operator;
// cancelling or closing logs nobody in.
class LoginDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit LoginDialog(LoginService logins, QWidget *parent = nullptr);
    ~LoginDialog() override;

    // The operator who logged in; empty until then.
    std::optional<Operator> loggedIn() const;

private:
    void tryLogin();

    struct Private;
    std::unique_ptr<Private> d;
};
