#include "machineservice.h"

#include "audit/describe.h"
#include "billing/changemachine.h"
#include "common/commandpath.h"
#include "common/numbers.h"
#include "store/machinetable.h"

MachineService::MachineService(Database &db, CommandPath &commands, ServiceOperator at)
    : m_db(db), m_commands(commands), m_at(std::move(at))
{
}

Result<QList<Machine>> MachineService::machines() const
{
    if (const Result<> ok = m_at.allow(Command::Machines); !ok)
        return failure(ok.error());
    return MachineTable(m_db).all();
}

Result<MachineManagement::Proposal> MachineService::proposeNew() const
{
    if (const Result<> ok = m_at.allow(Command::Machines); !ok)
        return failure(ok.error());
    return MachineManagement::proposeNew(m_db);
}

Result<Machine> MachineService::saveMachine(qint64 rowid, const MachineManagement::MachineInput &input)
{
    if (const Result<> ok = m_at.allow(Command::Machines); !ok)
        return failure(ok.error());
    const bool adding = rowid == 0;
    const std::optional<Machine> before = adding ? std::nullopt : MachineTable(m_db).byRowid(rowid);
    return m_commands.run(
        {adding ? QStringLiteral("添加计算机") : QStringLiteral("修改计算机"), before ? before->number : 0},
        [&] {
            return adding ? MachineManagement::add(m_db, input)
                          : MachineManagement::modify(m_db, rowid, input);
        },
        [&](const Machine &after) { return audit::describe(before, after); });
}

Result<> MachineService::checkRemovable(const Machine &machine) const
{
    if (const Result<> ok = m_at.allow(Command::Machines); !ok)
        return ok;
    return MachineManagement::checkRemovable(m_db, machine.rowid);
}

Result<MachineManagement::Removal> MachineService::removeMachine(const Machine &machine)
{
    if (const Result<> ok = m_at.allow(Command::Machines); !ok)
        return failure(ok.error());
    return m_commands.run(
        {QStringLiteral("删除计算机"), machine.number},
        [&] { return MachineManagement::remove(m_db, machine.rowid); },
        [&](const MachineManagement::Removal &) { return audit::describe(machine, std::nullopt); });
}

Result<int> MachineService::setAllRates(double rate)
{
    if (const Result<> ok = m_at.allow(Command::Machines); !ok)
        return failure(ok.error());
    return m_commands.run(
        {QStringLiteral("统一费率"), 0}, [&] { return MachineManagement::setAllRates(m_db, rate); },
        [&, before = MachineTable(m_db).all()](int count) {
            QStringList rates;
            for (const Machine &m : before)
                if (!rates.contains(plainNumber(m.rate)))
                    rates << plainNumber(m.rate);
            return QStringLiteral("%1台计算机的费率 %2→%3")
                .arg(count)
                .arg(rates.join(u','), plainNumber(rate));
        });
}

QList<Machine> MachineService::changeCandidates() const
{
    return ChangeMachine::candidates(m_db);
}
