#pragma once

#include "accounts/operators.h"
#include "common/result.h"
#include "store/accountrows.h"

#include <QStringList>

class CommandPath;
class Database;
class GuessThrottle;

// Logging in at the desk: whom the login box offers, and the check of a name and password.
class LoginService final
{
public:
    LoginService(Database &db, CommandPath &commands, GuessThrottle &throttle);

    // Whether a login is asked for: none when there are no operators or they cannot be read.
    LoginNeed need() const;
    // Every operator's name, in table order.
    QStringList operatorNames() const;
    // Who logged in last, as the trail has it; empty when nobody has.
    QString lastLoggedIn() const;
    // The operator whose name and password match. Otherwise the text for the operator: a
    // throttled attempt is not checked and says how long to wait; a wrong one is recorded
    // in the trail under the name tried.
    Result<Operator> logIn(const QString &name, const QString &password);
    // The desktop lock's release by `name`: the operator who locked (`lockedBy`) or any "D"
    // operator. Refused, it tells the seconds to wait when the name is throttled (0 otherwise).
    Result<> unlock(const QString &lockedBy, const QString &name, const QString &password);

private:
    Database &m_db;
    CommandPath &m_commands;
    GuessThrottle &m_throttle;
};
