#pragma once

#include "rows.h"

#include <QList>

class Database;

// yxsjb in table order. Positions are 1-based.
class MachineTable final
{
public:
    explicit MachineTable(Database &db) : m_db(db) {}

    int count();
    QList<Machine> all();
    std::optional<Machine> at(int position);
    std::optional<Machine> byRowid(qint64 rowid);
    std::optional<Machine> byNumber(int number);
    // The first machine whose IP is `ip`; never matches an empty address.
    std::optional<Machine> byIp(const QString &ip);

    // Writes every field of the row `machine.rowid`.
    bool save(const Machine &machine);
    bool add(const Machine &machine);
    // Writes only 状态 of the row `rowid`, when it still reads `from`; other fields that
    // changed meanwhile are left alone.
    bool setStatus(qint64 rowid, MachineStatus from, MachineStatus to);
    // A client announced itself as this machine: its IP becomes `ip`, and an off machine
    // stands by; a machine in session stays as it is.
    bool recordAnnouncement(qint64 rowid, const QString &ip);
    // The client at `ip` has gone: its standby machines turn off.
    bool turnOffStandbyAt(const QString &ip);

    // Machine management.
    // Writes only 名称, IP and 单位费用 of the row `rowid`; a session running on it stays.
    bool editDetails(qint64 rowid, const QString &name, const QString &ip, double rate);
    bool setNumberAndName(qint64 rowid, int number, const QString &name);
    bool remove(qint64 rowid);
    bool setAllRates(double rate);

private:
    std::optional<Machine> first(const QString &where, const QVariant &value);
    Database &m_db;
};
