#pragma once

#include "common/result.h"
#include "machines/machinemanagement.h"
#include "serviceoperator.h"
#include "store/machinerow.h"

#include <QList>

class CommandPath;
class Database;

// What the machines window (计算机设置) reads and saves, each call asking the right of the
// operator at the desk now.
class MachineService final
{
public:
    MachineService(Database &db, CommandPath &commands, ServiceOperator at);

    Result<QList<Machine>> machines() const;
    Result<MachineManagement::Proposal> proposeNew() const;
    // Adds a machine (`rowid` 0) or changes machine `rowid`.
    Result<Machine> saveMachine(qint64 rowid, const MachineManagement::MachineInput &input);
    Result<> checkRemovable(const Machine &machine) const;
    Result<MachineManagement::Removal> removeMachine(const Machine &machine);
    // One rate for every machine; the number of machines changed.
    Result<int> setAllRates(double rate);

    // Not withheld: where a session may move to (换机).
    QList<Machine> changeCandidates() const;

private:
    Database &m_db;
    CommandPath &m_commands;
    ServiceOperator m_at;
};
