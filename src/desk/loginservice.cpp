#include "loginservice.h"

#include "accounts/guessthrottle.h"
#include "accounts/operators.h"
#include "audit/trail.h"
#include "common/commandpath.h"
#include "store/accounttables.h"

namespace {
const QString kSource = QStringLiteral("login dialog");
}

LoginService::LoginService(Database &db, CommandPath &commands, GuessThrottle &throttle)
    : m_db(db), m_commands(commands), m_throttle(throttle)
{
}

LoginNeed LoginService::need() const
{
    return loginNeed(m_db);
}

QStringList LoginService::operatorNames() const
{
    QStringList names;
    for (const Operator &o : OperatorTable(m_db).all())
        names << o.name;
    return names;
}

QString LoginService::lastLoggedIn() const
{
    const QList<audit::Entry> logins = audit::entries(m_db, {}, {}, QString(), 0, QStringLiteral("登录"));
    return logins.isEmpty() ? QString() : logins.last().operatorName;
}

Result<> LoginService::unlock(const QString &lockedBy, const QString &name, const QString &password)
{
    static const QString source = QStringLiteral("desktop lock");
    if (mayUnlock(m_db, m_throttle, source, lockedBy, name, password))
        return {};
    const qint64 wait = m_throttle.secondsLeft(GuessThrottle::operatorSubject(name), source);
    return failure(wait > 0 ? GuessThrottle::deskMessage(wait) : QString());
}

Result<Operator> LoginService::logIn(const QString &name, const QString &password)
{
    const auto op = verifyOperator(m_db, m_throttle, kSource, name, password);
    if (op)
        return *op;
    // Not checked at all: saying "wrong" would mislead a right password.
    if (op.error() == CheckFailure::Throttled)
        return failure(GuessThrottle::deskMessage(
            m_throttle.secondsLeft(GuessThrottle::operatorSubject(name), kSource)));
    // Into the operator trail: who was tried, never what was typed as the password.
    CommandPath::Action failed{QStringLiteral("登录失败")};
    failed.actor = name;
    (void)m_commands.run(failed, [] { return Result<>(); });
    return failure(QStringLiteral("无效的密码，请重试!"));
}
