#pragma once

#include "common/result.h"

#include <QDateTime>
#include <QList>
#include <QString>

class Database;

// The operator trail: every action that moves money or changes what the café charges, kept in
// a file of its own (audit.db, keyed like the store) that is attached to the store's
// connection, so an action and its entry are written in one transaction. Entries are only
// ever added; each carries the SHA-256 of the one before and of its own content, so an entry
// changed, deleted or moved breaks the chain from there on.
namespace audit {

struct Entry
{
    qint64 seq = 0;     // 1, 2, 3, … in the order written
    QDateTime time;
    QString operatorName;
    int machine = 0;    // 0: the action concerns no machine
    QString kind;       // what was done, as the trail window lists it ("结帐", "储金卡", …)
    QString details;    // the figures, before and after
    QString hash;       // hex SHA-256 of the previous hash and this entry
};

// Attaches the trail file at `path` (created when missing) to the store's connection.
Result<> attach(Database &db, const QString &path);

// Adds an entry (its seq and hash are computed here) inside whatever transaction is open.
Result<> append(Database &db, Entry entry);

// The entries from `from` to `to` (both included; invalid: no bound), oldest first, that
// match the operator, machine and kind given (empty or 0: any).
QList<Entry> entries(Database &db, const QDateTime &from, const QDateTime &to, const QString &operatorName,
                     int machine, const QString &kind);

// Walks the whole chain: the number of entries when every one is intact, else the failure
// names the first entry from which the trail was changed.
Result<qint64> verify(Database &db);
// "记录完整，共N条", or the failure of verify() for the operator.
QString verificationText(const Result<qint64> &verified);

// The first 16 hex digits of the newest hash: printed under reports and bills, so a chain
// written anew no longer matches what is on paper. Empty while the trail is empty.
QString anchor(Database &db);

} // namespace audit
