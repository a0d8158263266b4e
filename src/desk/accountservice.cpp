#include "accountservice.h"

#include "accounts/customers.h"
#include "audit/describe.h"
#include "billing/sessionstart.h"
#include "common/commandpath.h"
#include "common/numbers.h"
#include "store/accounttables.h"

namespace {

// Operator edits name this window as their source in the guess throttle's log.
const QString kOperatorSource = QStringLiteral("operator dialog");

} // namespace

AccountService::AccountService(Database &db, CommandPath &commands, GuessThrottle &throttle,
                               ServiceOperator at)
    : m_db(db), m_commands(commands), m_throttle(throttle), m_at(std::move(at))
{
}

Result<QList<Customer>> AccountService::customers() const
{
    if (const Result<> ok = m_at.allow(Command::Customers); !ok)
        return failure(ok.error());
    return CustomerTable(m_db).all();
}

Result<QString> AccountService::nextCustomerNumber() const
{
    if (const Result<> ok = m_at.allow(Command::Customers); !ok)
        return failure(ok.error());
    return customers::nextNumber(m_db);
}

Result<Customer> AccountService::addCustomer(const Customer &c)
{
    if (const Result<> ok = m_at.allow(Command::Customers); !ok)
        return failure(ok.error());
    return m_commands.run(
        {QStringLiteral("添加客户"), 0}, [&] { return customers::add(m_db, c); },
        [](const Customer &after) { return audit::describe(std::nullopt, after); });
}

Result<> AccountService::saveCustomer(const Customer &c)
{
    if (const Result<> ok = m_at.allow(Command::Customers); !ok)
        return ok;
    const std::optional<Customer> before = CustomerTable(m_db).byRowid(c.rowid);
    return m_commands.run(
        {QStringLiteral("修改客户"), 0}, [&] { return customers::saveDetails(m_db, c); },
        [&] { return audit::describe(before, CustomerTable(m_db).byRowid(c.rowid)); });
}

Result<> AccountService::checkCustomerDeletable(const QString &number) const
{
    if (const Result<> ok = m_at.allow(Command::Customers); !ok)
        return ok;
    return customers::checkDeletable(m_db, number);
}

Result<> AccountService::removeCustomer(const Customer &c)
{
    if (const Result<> ok = m_at.allow(Command::Customers); !ok)
        return ok;
    return m_commands.run(
        {QStringLiteral("删除客户"), 0}, [&] { return customers::remove(m_db, c.rowid); },
        [&] { return audit::describe(c, std::nullopt); });
}

Result<QList<Card>> AccountService::cards() const
{
    if (const Result<> ok = m_at.allow(Command::Cards); !ok)
        return failure(ok.error());
    return CardTable(m_db).all();
}

Result<QList<Customer>> AccountService::cardOwners() const
{
    if (const Result<> ok = m_at.allow(Command::Cards); !ok)
        return failure(ok.error());
    return CustomerTable(m_db).all();
}

Result<QString> AccountService::generateCardNumber(const cards::Draw &draw) const
{
    if (const Result<> ok = m_at.allow(Command::Cards); !ok)
        return failure(ok.error());
    return cards::generateNumber(m_db, draw);
}

Result<Card> AccountService::saveCard(qint64 rowid, const cards::CardInput &input)
{
    if (const Result<> ok = m_at.allow(Command::Cards); !ok)
        return failure(ok.error());
    const bool adding = rowid == 0;
    const std::optional<Card> before = adding ? std::nullopt : CardTable(m_db).byRowid(rowid);
    return m_commands.run(
        {adding ? QStringLiteral("添加储金卡") : QStringLiteral("修改储金卡"), 0},
        [&](Effects &effects) {
            return adding ? cards::add(m_db, effects, input) : cards::saveTerms(m_db, effects, rowid, input);
        },
        [&](const Card &after) { return audit::describe(before, after, !input.password.isEmpty()); });
}

Result<> AccountService::removeCard(const Card &c)
{
    if (const Result<> ok = m_at.allow(Command::Cards); !ok)
        return ok;
    return m_commands.run(
        {QStringLiteral("删除储金卡"), 0}, [&] { return cards::remove(m_db, c.rowid); },
        [&] { return audit::describe(c, std::nullopt, false); });
}

Result<Card> AccountService::topUp(const Card &before, const QString &amount)
{
    if (const Result<> ok = m_at.allow(Command::Cards); !ok)
        return failure(ok.error());
    return m_commands.run(
        {QStringLiteral("储金卡充值"), 0},
        [&](Effects &effects) { return cards::topUp(m_db, effects, before.rowid, amount); },
        [&](const Card &after) {
            return QStringLiteral("充值%1元；").arg(plainNumber(after.total - before.total)) +
                   audit::describe(before, after, false);
        });
}

Result<QList<Operator>> AccountService::operators() const
{
    if (const Result<> ok = m_at.allow(Command::Operators); !ok)
        return failure(ok.error());
    return OperatorTable(m_db).all();
}

std::expected<void, OperatorSaveError> AccountService::saveOperator(const OperatorEdit &edit)
{
    if (const Result<> ok = m_at.allow(Command::Operators); !ok)
        return std::unexpected(OperatorSaveError{ok.error()});
    OperatorTable operators(m_db);
    const std::optional<Operator> before = edit.rowid ? operators.byRowid(*edit.rowid) : std::nullopt;
    return m_commands.run(
        {before ? QStringLiteral("修改管理员") : QStringLiteral("添加管理员"), 0},
        [&] { return ::saveOperator(m_db, m_throttle, kOperatorSource, edit); },
        [&] {
            return audit::describe(before,
                                   before ? operators.byRowid(before->rowid) : operators.byName(edit.name),
                                   !edit.newPassword.isEmpty());
        });
}

Result<> AccountService::deleteOperator(const Operator &victim, const QString &password,
                                        const QString &currentName)
{
    if (const Result<> ok = m_at.allow(Command::Operators); !ok)
        return ok;
    return m_commands.run(
        {QStringLiteral("删除管理员"), 0},
        [&] {
            return ::deleteOperator(m_db, m_throttle, kOperatorSource, victim.rowid, password, currentName);
        },
        [&] { return audit::describe(victim, std::nullopt, false); });
}

QList<Customer> AccountService::registeredCustomers() const
{
    return CustomerTable(m_db).all();
}

bool AccountService::isNewCustomer(const QString &name) const
{
    return SessionStart::isNewCustomer(m_db, name);
}
