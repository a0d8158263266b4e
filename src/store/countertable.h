#pragma once

#include "common/result.h"

#include <QSet>
#include <QString>
#include <QStringList>

class Database;

// The counters working on one store on a database server and the PCs each one holds (has a
// connection from). A counter's name is its connection's application_name; its claim on the
// name is a lock of its server session, so it ends when the counter's connection does, however
// the counter ended. The tables are unlogged: after a crash of the server nobody holds anything,
// which is then the truth. Only for a store on a server.
class CounterTable final
{
public:
    explicit CounterTable(Database &db) : m_db(db) {}

    // This connection's counter name (the host name when the connection has none).
    QString ownName();
    // Takes `name` for this connection and forgets what an earlier run under it held. False
    // when a live connection holds the name already.
    Result<bool> claim(const QString &name);

    // The live counters by name in byte order, and the PCs those other than `name` hold.
    struct Holdings
    {
        QStringList live;
        QSet<QString> elsewhere;
    };
    Holdings holdings(const QString &name);
    // The counter `name` now holds, or no longer holds, the PC at `ip`.
    bool hold(const QString &name, const QString &ip);
    bool release(const QString &name, const QString &ip);
    // The live counter holding the PC at `ip` (the lowest name when several do); "" when none.
    QString holderOf(const QString &ip);

private:
    bool ensureTables();

    Database &m_db;
};
