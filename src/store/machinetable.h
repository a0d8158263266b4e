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
    bool setStatus(qint64 rowid, const QString &from, const QString &to);

private:
    std::optional<Machine> first(const QString &where, const QVariant &value);
    Database &m_db;
};
