#include "operators.h"

#include "accountslog.h"
#include "common/loglimit.h"
#include "guessthrottle.h"
#include "passwords.h"
#include "store/accounttables.h"
#include "store/database.h"

Q_LOGGING_CATEGORY(lcAccounts, "corvana.accounts")

namespace {

const QString kSuper = QStringLiteral("D");

// Replaces a password kept in clear by its hash, once it has been typed correctly.
void upgradeIfClear(Database &db, Operator &op)
{
    if (passwords::isHashed(op.password))
        return;
    const Result<QString> hashed = passwords::hash(op.password);
    if (!hashed || !OperatorTable(db).setPassword(op.rowid, *hashed)) {
        qCWarning(lcAccounts) << "could not hash the stored password of operator" << op.name;
        return;
    }
    op.password = *hashed;
}

std::expected<Operator, CheckFailure> verify(Database &db, GuessThrottle *throttle, const QString &source,
                                             const QString &name, const QString &password)
{
    const QString subject = GuessThrottle::operatorSubject(name);
    if (throttle && throttle->wait(subject, source) > 0) {
        if (const auto left = LogLimit::shared().allow(QStringLiteral("operator-throttled"), source))
            qCWarning(lcAccounts).noquote()
                << "operator password check refused, too many failures for the name or from" << source
                << LogLimit::leftOutNote(*left);
        return std::unexpected(CheckFailure::Throttled);
    }
    for (Operator op : OperatorTable(db).named(name)) {
        if (passwords::matches(op.password, password)) {
            upgradeIfClear(db, op);
            return op;
        }
    }
    // A PC can cause these by the thousand: one line a minute per address.
    if (const auto left = LogLimit::shared().allow(QStringLiteral("operator-failed"), source))
        qCWarning(lcAccounts).noquote() << "failed operator password check for" << name << "from" << source
                                        << LogLimit::leftOutNote(*left);
    if (throttle)
        throttle->failed(subject, source);
    return std::unexpected(CheckFailure::NoMatch);
}

// Whether operators would be left but none of them a super administrator.
bool leavesNoSuper(const QList<Operator> &after)
{
    if (after.isEmpty())
        return false;
    return std::none_of(after.begin(), after.end(), [](const Operator &o) { return o.right == kSuper; });
}

const QString kKeepOneSuper = QStringLiteral("至少要保留一个超级管理员！");

} // namespace

LoginNeed loginNeed(Database &db)
{
    if (!db.isOpen())
        return LoginNeed::Unreadable;
    const std::optional<int> operators = OperatorTable(db).rowCount();
    if (!operators)
        return LoginNeed::Unreadable;
    return *operators > 0 ? LoginNeed::Ask : LoginNeed::NoOperators;
}

CurrentOperator afterLogin(const CurrentOperator &before, const std::optional<Operator> &chosen)
{
    if (!chosen)
        return before;
    return {chosen->name, chosen->right};
}

std::expected<Operator, CheckFailure> verifyOperator(Database &db, const QString &name, const QString &password)
{
    return verify(db, nullptr, QString(), name, password);
}

std::expected<Operator, CheckFailure> verifyOperator(Database &db, GuessThrottle &throttle, const QString &source,
                                                     const QString &name, const QString &password)
{
    return verify(db, &throttle, source, name, password);
}

bool mayUnlock(Database &db, GuessThrottle &throttle, const QString &source, const QString &lockedBy,
               const QString &name, const QString &password)
{
    OperatorTable table(db);
    // With no operators nobody could ever unlock; a table that cannot be read releases nothing.
    const LoginNeed need = loginNeed(db);
    if (need != LoginNeed::Ask)
        return need == LoginNeed::NoOperators;
    const QString subject = GuessThrottle::operatorSubject(name);
    if (throttle.wait(subject, source) > 0) {
        qCWarning(lcAccounts) << "unlock refused, too many failures for" << name;
        return false;
    }
    bool released = false;
    for (Operator op : table.named(name)) {
        if (!passwords::matches(op.password, password))
            continue;
        upgradeIfClear(db, op);
        if (op.name == lockedBy || op.right == kSuper) {
            released = true;
            break;
        }
    }
    if (!released) {
        qCWarning(lcAccounts) << "failed unlock by" << name << "from" << source;
        throttle.failed(subject, source);
    }
    return released;
}

std::expected<void, OperatorSaveError> saveOperator(Database &db, GuessThrottle &throttle, const QString &source,
                                                    const OperatorEdit &edit)
{
    using Error = std::unexpected<OperatorSaveError>;
    if (edit.name.trimmed().isEmpty())
        return Error({QStringLiteral("用户名错误！"), OperatorField::Name});
    if (edit.newPassword != edit.confirmPassword)
        return Error({QStringLiteral("前后密码设置不一至，请重新输入！"), OperatorField::NewPassword});

    Transaction transaction(db);
    OperatorTable table(db);
    for (const Operator &other : table.named(edit.name))
        if (!edit.rowid || other.rowid != *edit.rowid)
            return Error({QStringLiteral("用户名已经存在了，请你再换一个！"), OperatorField::Name});

    std::optional<Operator> stored;
    if (edit.rowid) {
        stored = table.byRowid(*edit.rowid);
        if (!stored)
            return Error({QStringLiteral("该用户已不存在！"), OperatorField::None});
        // A super administrator's password must always be given; others' when typed.
        if (stored->right == kSuper || !edit.oldPassword.isEmpty()) {
            const QString subject = GuessThrottle::operatorSubject(stored->name);
            if (const qint64 wait = throttle.wait(subject, source))
                return Error({GuessThrottle::deskMessage(wait), OperatorField::OldPassword});
            if (!passwords::matches(stored->password, edit.oldPassword)) {
                qCWarning(lcAccounts) << "wrong old password for operator" << stored->name << "from" << source;
                throttle.failed(subject, source);
                return Error({QStringLiteral("密码错误，请重新输入！"), OperatorField::OldPassword});
            }
        }
    }

    QString password;
    if (stored && edit.newPassword.isEmpty() && passwords::isHashed(stored->password)) {
        password = stored->password;
    } else {
        const Result<QString> hashed =
            passwords::hash(stored && edit.newPassword.isEmpty() ? stored->password : edit.newPassword);
        if (!hashed)
            return Error({hashed.error(), OperatorField::NewPassword});
        password = *hashed;
    }

    QList<Operator> after = table.all();
    if (edit.rowid)
        after.removeIf([&](const Operator &o) { return o.rowid == *edit.rowid; });
    Operator changed;
    changed.right = edit.right;
    after << changed;
    if (leavesNoSuper(after))
        return Error({kKeepOneSuper, OperatorField::None});

    const bool written = edit.rowid ? table.saveAccount(*edit.rowid, edit.name, password, edit.right)
                                    : table.addAccount(edit.name, password, edit.right);
    if (!written || !transaction.commit())
        return Error({db.lastError(), OperatorField::None});
    return {};
}

Result<> deleteOperator(Database &db, GuessThrottle &throttle, const QString &source, qint64 rowid,
                        const QString &password, const QString &currentName)
{
    const QString refused = QStringLiteral("不能删除用户！");
    Transaction transaction(db);
    OperatorTable table(db);
    const std::optional<Operator> op = table.byRowid(rowid);
    if (!op)
        return failure(refused);
    if (op->right == kSuper) {
        const QString subject = GuessThrottle::operatorSubject(op->name);
        if (const qint64 wait = throttle.wait(subject, source))
            return failure(GuessThrottle::deskMessage(wait));
        if (!passwords::matches(op->password, password)) {
            qCWarning(lcAccounts) << "wrong password to delete operator" << op->name << "from" << source;
            throttle.failed(subject, source);
            return failure(refused);
        }
        if (op->name == currentName)
            return failure(refused);
    }
    QList<Operator> after = table.all();
    after.removeIf([&](const Operator &o) { return o.rowid == rowid; });
    if (leavesNoSuper(after))
        return failure(kKeepOneSuper);
    if (!table.remove(rowid) || !transaction.commit())
        return failure(db.lastError());
    return {};
}
