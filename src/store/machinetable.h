#pragma once

#include "goodstables.h"
#include "machinerow.h"
#include "settingsrow.h"

#include <QDateTime>
#include <QList>
#include <optional>

class Database;

// Machines with everything their fees and bills need, read in one statement: each machine's
// open goods lines priced from the catalogue, and the settings' tariff fields (the other
// settings fields stay empty; none without a settings row).
struct FeeInputs
{
    struct Entry
    {
        Machine machine;
        QList<PricedLine> lines; // in table order
    };
    QList<Entry> machines; // in table order
    std::optional<Settings> tariff;

    const Entry *find(qint64 rowid) const;
};

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

    // Every machine, with the goods lines of the one at `position` only.
    FeeInputs allWithLinesOf(int position);
    // The rows `rowids` (those that exist), each with its goods lines.
    FeeInputs withLines(const QList<qint64> &rowids);

    // Writes every field of the row `machine.rowid`, from values read earlier: only for
    // setting up rows. Operations on a running café use the narrow writes below, so a field
    // they do not change keeps exactly what is stored (a NULL rate, a rate typed as "2.5元").
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

    // A session starting now: 状态, 开始时间, 上机方式 and the customer, and 到点时间 and 已收款
    // only when given.
    struct Start
    {
        MachineStatus status = MachineStatus::Billing;
        QDateTime start;
        QString mode;
        QString customer;
        QString idKind;
        QString idNumber;
        std::optional<QDateTime> due;
        std::optional<double> prepaid;
    };
    // Starts a session on a machine out of session, telling in `started` whether this start
    // took the machine (false: it was in session, "Y" or "P", already). Of two starts of one
    // machine at two counters, the second waits for the first and then finds its session.
    bool startSessionIfIdle(qint64 rowid, const Start &start, bool *started);
    // A running session's limit, customer and prepaid amount; 到点时间 only when given.
    bool changeSession(qint64 rowid, const std::optional<QDateTime> &due, const QString &customer,
                       const QString &idKind, const QString &idNumber, double prepaid);
    // Everything a session holds, as it moves to another machine: 开始时间, 到点时间, 已收款,
    // 暂停开始, 暂停时间, 状态, 上机方式 and the customer.
    bool takeSession(qint64 rowid, const Machine &from);
    // The session is over: its fields go back to their idle values and the machine stands by.
    bool resetSession(qint64 rowid);
    // The same for several machines at once.
    bool resetSessions(const QList<qint64> &rowids);
    // The session runs on without a due time.
    bool clearDue(qint64 rowid);

    // Machine management. Changes of the whole table (adding, renumbering) lock it first, so
    // two counters never give out one number twice.
    bool lockAll();
    bool lockRows(const QList<qint64> &rowids);
    // Writes only 名称, IP and 单位费用 of the row `rowid`; a session running on it stays.
    bool editDetails(qint64 rowid, const QString &name, const QString &ip, double rate);
    bool setNumberAndName(qint64 rowid, int number, const QString &name);
    bool remove(qint64 rowid);
    bool setAllRates(double rate);

private:
    std::optional<Machine> first(const QString &where, const QVariant &value);
    Database &m_db;
};
