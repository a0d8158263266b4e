#pragma once

#include "common/result.h"

#include <QDate>
#include <QDateTime>
#include <QString>

class Database;

// Copies of the store file: backups taken while the store is open, restores that swap the
// file only once the copy is known to be a store this program can use, and the automatic
// daily backups. A failure never leaves a half-written file under the name it was meant for.
namespace backup {

// "yyyyMMdd.bak": the name of a backup made on `day`.
QString defaultName(const QDate &day);

// Whether `path` is a store this program can open: it opens with the store's key, passes the
// engine's integrity check, has a version this program knows and holds the eleven tables.
Result<> verify(const QString &path);

// Copies the open store `db`, whose file is `livePath`, to `target`. The copy is taken inside
// a read transaction, so no write is half in it; it is written beside `target`, checked, and
// only then renamed over it. Refused when `target` is the live file itself. A store on a
// server is written as the same kind of store file, its rows in table order, so the backup
// restores onto either engine; `livePath` is then not read.
Result<> backUp(Database &db, const QString &livePath, const QString &target);

// Replaces the closed store file `livePath` by a copy of `chosen`. The chosen file is copied
// beside the store and checked first; the current file is kept as "还原前yyyyMMddHHmmss.bak"
// in the same folder; a leftover journal of the old store goes with it, so it is never
// replayed into the restored one. Returns the kept file's path. On failure the store file is
// as it was.
Result<QString> restore(const QString &livePath, const QString &chosen, const QDateTime &now);

// Replaces the tables of the open store `db` (on a server: tables, not a file to swap) by the
// rows of the backup `chosen`, in one transaction with the tables locked. A branch of a chain
// replaces its own tables only: the customers and cards it shares with the other branches stay
// as they are, as the backup of a branch still holds them for a restore onto a single café. What was there is
// first kept as "还原前yyyyMMddHHmmss.bak" in `folder`. Returns the kept file's path. On failure the tables
// are as they were and no kept file is left.
Result<QString> restoreInto(Database &db, const QString &chosen, const QString &folder, const QDateTime &now);

// Puts the file kept by restore() back in place of `livePath` (when the restored store would
// not open after all).
Result<> putBack(const QString &livePath, const QString &kept);

// The automatic daily backup into `folder`: "yyyyMMdd.bak" for `day` unless that exists
// already, then only the newest `keep` daily backups are kept. Returns the file written, or
// an empty path when today's backup was there.
Result<QString> daily(Database &db, const QString &livePath, const QString &folder, const QDate &day,
                      int keep = 30);

// Test hook: every file copy fails after this many more bytes; -1 disables.
void failCopiesAfter(qint64 bytes);

} // namespace backup
