#include "backup.h"

#include "copy.h"
#include "database.h"
#include "schema.h"
#include "store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcBackup, "corvana.store.backup")

namespace backup {

namespace {

std::atomic<qint64> g_failAfter{-1};
std::function<void()> g_beforeCopy;

constexpr QFileDevice::Permissions kPrivate = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    const QString ca = fa.exists() ? fa.canonicalFilePath() : fa.absoluteFilePath();
    const QString cb = fb.exists() ? fb.canonicalFilePath() : fb.absoluteFilePath();
    return ca == cb;
}

QString folderOf(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

// A full disk is said as such, with the folder: "未知错误" helps nobody free space.
QString writeError(const QFile &out, int error)
{
    if (out.error() == QFileDevice::ResourceError || error == ENOSPC || error == EDQUOT)
        return diskFullText(folderOf(out.fileName()));
    return out.errorString();
}

// Copies `from` to `to` (created or truncated, readable by the owner only) and flushes it to
// the disk.
Result<> copyFile(const QString &from, const QString &to)
{
    if (g_beforeCopy)
        g_beforeCopy();
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return failure(in.errorString());
    QFile out(to);
    // Unbuffered: a write the disk refuses fails at once, with its reason.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered, kPrivate))
        return failure(writeError(out, errno));
    out.setPermissions(kPrivate); // a file that was there keeps its mode otherwise
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (const qint64 left = g_failAfter.load(); left >= 0) {
            if (left < chunk.size()) {
                out.write(chunk.left(left));
                g_failAfter = 0;
                return failure(diskFullText(folderOf(to)));
            }
            g_failAfter = left - chunk.size();
        }
        errno = 0;
        if (out.write(chunk) != chunk.size())
            return failure(writeError(out, errno));
    }
    if (in.error() != QFileDevice::NoError)
        return failure(in.errorString());
    errno = 0;
    if (!out.flush() || ::fsync(out.handle()) != 0)
        return failure(writeError(out, errno));
    return {};
}

// Renames `from` over `to`, replacing it in one step.
Result<> replace(const QString &from, const QString &to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return failure(QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

QString journalOf(const QString &path)
{
    return path + QStringLiteral("-journal");
}

void removeWithJournal(const QString &path)
{
    QFile::remove(path);
    QFile::remove(journalOf(path));
}

// Checks the written `temporary` and only then renames it over `target`: a backup that did
// not come out whole never replaces a good one.
Result<> putInPlace(const QString &temporary, Result<> written, const QString &target)
{
    Result<> done = std::move(written);
    if (done)
        done = verify(temporary);
    if (done && !QFile::setPermissions(temporary, kPrivate))
        qCWarning(lcBackup) << "cannot make" << temporary << "private";
    if (done)
        done = replace(temporary, target);
    if (!done)
        removeWithJournal(temporary);
    return done;
}

// Has `write` make a temporary file beside `target`, then puts it in place, checked.
Result<> writeChecked(const QString &target, const std::function<Result<>(const QString &temporary)> &write)
{
    const QString temporary = target + QStringLiteral(".part");
    return putInPlace(temporary, write(temporary), target);
}

// Copies the store file `livePath` beside `target` while `hold` (a connection to it) keeps a
// read transaction open, so no write is half in the copy; then lets go and checks the copy.
Result<> copyHeld(Database &hold, const QString &livePath, const QString &target)
{
    const QString temporary = target + QStringLiteral(".part");
    Result<> copied;
    if (!hold.exec(QStringLiteral("BEGIN")))
        return failure(hold.lastError());
    {
        Statement read = hold.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        copied = read.next() ? copyFile(livePath, temporary) : failure(hold.lastError());
    }
    hold.exec(QStringLiteral("COMMIT"));
    return putInPlace(temporary, std::move(copied), target);
}

QStringList columnNames(Database &db, const QString &table)
{
    QStringList names;
    Statement s = db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    while (s.next())
        names << s.text(1);
    return names;
}

// The columns of every table as a new store makes them, learnt once from one made in memory.
const QHash<QString, QStringList> &storeColumns()
{
    static const QHash<QString, QStringList> columns = [] {
        QHash<QString, QStringList> found;
        Database db;
        if (!db.open(QStringLiteral(":memory:"), Store::key(), true) || !schema::create(db)) {
            qCWarning(lcBackup) << "cannot make a store in memory to compare with:" << db.lastError();
            return found;
        }
        for (const QString &table : schema::tableNames())
            found.insert(table, columnNames(db, table));
        return found;
    }();
    return columns;
}

// Whether every table has the columns of a new store, named and ordered alike: a file that
// lacks one would be taken and then fail every action that writes it.
Result<> checkColumns(Database &db)
{
    const QHash<QString, QStringList> &expected = storeColumns();
    if (expected.isEmpty())
        return failure(QStringLiteral("无法检查数据表的字段"));
    for (const QString &table : schema::tableNames(db.schemaVersion())) {
        const QStringList want = expected.value(table);
        const QStringList have = columnNames(db, table);
        if (have == want)
            continue;
        QStringList missing;
        for (const QString &c : want)
            if (!have.contains(c))
                missing << c;
        QStringList extra;
        for (const QString &c : have)
            if (!want.contains(c))
                extra << c;
        if (!missing.isEmpty())
            return failure(
                QStringLiteral("表 %1 缺少字段 %2").arg(table, missing.join(QStringLiteral("、"))));
        if (!extra.isEmpty())
            return failure(
                QStringLiteral("表 %1 有多余的字段 %2").arg(table, extra.join(QStringLiteral("、"))));
        return failure(QStringLiteral("表 %1 的字段顺序不对").arg(table));
    }
    return {};
}

QString keptName(const QString &folder, const QDateTime &now)
{
    return QDir(folder).filePath(QStringLiteral("还原前") + now.toString(QStringLiteral("yyyyMMddHHmmss")) +
                                 QStringLiteral(".bak"));
}

// Writes the tables of `db` into a new store file at `path`.
Result<> writeStoreFile(Database &db, const QString &path)
{
    removeWithJournal(path);
    Database file;
    if (!file.open(path, Store::key(), true))
        return failure(file.lastError());
    if (!schema::create(file))
        return failure(file.lastError());
    if (const Result<qint64> copied = storecopy::copyTables(db, file); !copied)
        return failure(copied.error());
    return {};
}

// A server's tables have no file to copy: they are written into a new store file, checked.
Result<> backUpTables(Database &db, const QString &target)
{
    return writeChecked(target, [&](const QString &temporary) { return writeStoreFile(db, temporary); });
}

} // namespace

QString defaultName(const QDate &day)
{
    return day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".bak");
}

QString diskFullText(const QString &folder)
{
    return QStringLiteral("磁盘空间不足（%1）").arg(QDir::toNativeSeparators(folder));
}

Result<> verify(const QString &path)
{
    Database db;
    if (!db.open(path, Store::key(), false))
        return failure(db.lastError());
    Statement check = db.prepare(QStringLiteral("PRAGMA integrity_check"));
    if (!check.next() || check.text(0) != u"ok")
        return failure(QStringLiteral("数据库文件已损坏"));
    check = Statement();
    if (Result<> known = schema::check(db); !known)
        return known;
    return checkColumns(db);
}

Result<> backUp(Database &db, const QString &livePath, const QString &target)
{
    if (!db.hasOwnFile()) {
        const Result<> done = backUpTables(db, target);
        if (!done)
            qCWarning(lcBackup) << "backup of the server's tables to" << target << "failed:" << done.error();
        return done;
    }
    if (sameFile(livePath, target))
        return failure(QStringLiteral("不能备份到正在使用的数据库文件上"));
    const Result<> done = copyHeld(db, livePath, target);
    if (!done)
        qCWarning(lcBackup) << "backup to" << target << "failed:" << done.error();
    return done;
}

Result<> backUpFile(const QString &livePath, const QString &target)
{
    if (sameFile(livePath, target))
        return failure(QStringLiteral("不能备份到正在使用的数据库文件上"));
    Database hold;
    Result<> done = hold.open(livePath, Store::key(), false) ? copyHeld(hold, livePath, target)
                                                             : Result<>(failure(hold.lastError()));
    if (!done)
        qCWarning(lcBackup) << "backup to" << target << "failed:" << done.error();
    return done;
}

Result<QString> fetch(const QString &livePath, const QString &chosen)
{
    if (sameFile(livePath, chosen))
        return failure(QStringLiteral("不能用正在使用的数据库文件还原"));
    const QString incoming = livePath + QStringLiteral(".restoring");
    Result<> ready = copyFile(chosen, incoming);
    if (ready)
        ready = verify(incoming);
    if (!ready) {
        discard(incoming);
        qCWarning(lcBackup) << "restore from" << chosen << "refused:" << ready.error();
        return failure(ready.error());
    }
    return incoming;
}

void discard(const QString &incoming)
{
    removeWithJournal(incoming);
}

Result<QString> swapIn(const QString &livePath, const QString &incoming, const QDateTime &now)
{
    // A store file that went missing has nothing to keep.
    QString kept;
    if (QFile::exists(livePath)) {
        kept = keptName(folderOf(livePath), now);
        // A second name keeps the current file at once, however big; a copy where the file
        // system has no such names.
        if (::link(QFile::encodeName(livePath).constData(), QFile::encodeName(kept).constData()) != 0) {
            if (Result<> saved = copyFile(livePath, kept); !saved) {
                discard(incoming);
                QFile::remove(kept);
                return failure(saved.error());
            }
        }
    }
    // A journal left by the old store belongs to the kept copy, never to the restored file.
    if (QFile::exists(journalOf(livePath)))
        replace(journalOf(livePath),
                kept.isEmpty() ? journalOf(incoming) + QStringLiteral(".old") : journalOf(kept));
    if (Result<> swapped = replace(incoming, livePath); !swapped) {
        discard(incoming);
        return failure(swapped.error());
    }
    return kept;
}

Result<QString> restore(const QString &livePath, const QString &chosen, const QDateTime &now)
{
    const Result<QString> incoming = fetch(livePath, chosen);
    if (!incoming)
        return failure(incoming.error());
    return swapIn(livePath, *incoming, now);
}

Result<QString> restoreInto(Database &db, const QString &chosen, const QString &folder, const QDateTime &now)
{
    // Read from a checked copy: opening the operator's file could roll a journal left beside
    // it into it, and the file may sit on read-only media.
    const QString incoming = QDir(folder).filePath(QStringLiteral("还原中.bak"));
    Result<> ready = copyFile(chosen, incoming);
    if (ready)
        ready = verify(incoming);
    const QString kept = keptName(folder, now);
    if (ready)
        ready = backUpTables(db, kept);
    if (ready) {
        Database source;
        if (!source.open(incoming, Store::key(), false)) {
            ready = failure(source.lastError());
        } else if (const Result<qint64> copied = storecopy::copyTables(source, db); !copied) {
            ready = failure(copied.error());
            QFile::remove(kept); // the tables are as they were: nothing was replaced
        }
    }
    removeWithJournal(incoming);
    if (!ready) {
        qCWarning(lcBackup) << "restore from" << chosen << "onto the server failed:" << ready.error();
        return failure(ready.error());
    }
    return kept;
}

Result<> putBack(const QString &livePath, const QString &kept)
{
    const QString incoming = livePath + QStringLiteral(".restoring");
    Result<> done = copyFile(kept, incoming);
    if (done)
        done = replace(incoming, livePath);
    if (!done)
        QFile::remove(incoming);
    return done;
}

Result<QString> dailyTarget(const QString &folder, const QDate &day)
{
    QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder))
        return failure(QStringLiteral("无法建立文件夹“%1”").arg(QDir::toNativeSeparators(folder)));
    const QString target = dir.filePath(defaultName(day));
    return QFile::exists(target) ? QString() : target;
}

namespace {

QStringList dailyNames(const QDir &dir)
{
    // Daily backups are named by their day, so name order is age order.
    static const QRegularExpression dailyName(QStringLiteral("^\\d{8}\\.bak$"));
    QStringList names = dir.entryList({QStringLiteral("*.bak")}, QDir::Files, QDir::Name);
    names.removeIf([](const QString &n) { return !dailyName.match(n).hasMatch(); });
    return names;
}

} // namespace

void pruneDaily(const QString &folder, int keep)
{
    const QDir dir(folder);
    const QStringList names = dailyNames(dir);
    for (qsizetype i = 0; i + keep < names.size(); ++i)
        QFile::remove(dir.filePath(names.at(i)));
}

int countIn(const QString &folder)
{
    return int(QDir(folder).entryList({QStringLiteral("*.bak")}, QDir::Files).size());
}

Result<QString> daily(Database &db, const QString &livePath, const QString &folder, const QDate &day,
                      int keep)
{
    const Result<QString> target = dailyTarget(folder, day);
    if (!target || target->isEmpty())
        return target;
    if (Result<> done = backUp(db, livePath, *target); !done)
        return failure(done.error());
    pruneDaily(folder, keep);
    return target;
}

void failCopiesAfter(qint64 bytes)
{
    g_failAfter = bytes;
}

void setBeforeCopy(std::function<void()> hook)
{
    g_beforeCopy = std::move(hook);
}

} // namespace backup
