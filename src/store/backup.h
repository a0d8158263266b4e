#pragma once

#include "common/result.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>

class Database;

// Copies of the store file: backups taken while the store is open, restores that swap the
// file only once the copy is known to be a store this program can use, and the automatic
// daily backups. A failure never leaves a half-written file under the name it was meant for.
namespace backup {

// "yyyyMMdd.bak": the name of a backup made on `day`.
QString defaultName(const QDate &day);

// Whether `path` is a store this program can open: it opens with the store's key, passes the
// engine's integrity check, has a version this program knows and holds the tables of that version, each
// with the columns a new store has, named and ordered alike.
Result<> verify(const QString &path);

// What a copy that ran out of room says, with the folder it was written to.
QString diskFullText(const QString &folder);

// Copies the open store `db`, whose file is `livePath`, to `target`. The copy is taken inside
// a read transaction, so no write is half in it; it is written beside `target`, checked, and
// only then renamed over it. Refused when `target` is the live file itself. A store on a
// server is written as the same kind of store file, its rows in table order, so the backup
// restores onto either engine; `livePath` is then not read.
Result<> backUp(Database &db, const QString &livePath, const QString &target);

// backUp() for a store file, on any thread: a connection of its own holds a read transaction
// on `livePath` while the bytes are copied (writers wait, so none is half in the copy); the
// copy is checked after the hold is let go.
Result<> backUpFile(const QString &livePath, const QString &target);

// The two halves of restore(). fetch() takes the time, on any thread: `chosen` is copied beside
// the store and checked; it returns that copy. swapIn() is quick and runs with the store
// closed: it keeps the current file (a second name for it, or a copy where the file system
// has none) and puts the fetched copy in its place. discard() drops a fetched copy not used.
Result<QString> fetch(const QString &livePath, const QString &chosen);
Result<QString> swapIn(const QString &livePath, const QString &incoming, const QDateTime &now);
void discard(const QString &incoming);

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

// The halves of daily() for a copy taken beside the event loop: the file to write for `day`
// (the folder made first; empty when that day's backup is there), and the pruning once written.
Result<QString> dailyTarget(const QString &folder, const QDate &day);
void pruneDaily(const QString &folder, int keep = 30);

// The backups ("*.bak") in `folder`.
int countIn(const QString &folder);

// Test hooks: every file copy fails after this many more bytes, as on a full disk (-1
// disables); `hook` runs on the copying thread just before each file copy (empty: none).
void failCopiesAfter(qint64 bytes);
void setBeforeCopy(std::function<void()> hook);

} // namespace backup
