#include "backup.h"

#include "copy.h"
#include "database.h"
#include "schema.h"
#include "store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcBackup, "corvana.store.backup")

namespace backup {

namespace {

qint64 g_failAfter = -1;

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    const QString ca = fa.exists() ? fa.canonicalFilePath() : fa.absoluteFilePath();
    const QString cb = fb.exists() ? fb.canonicalFilePath() : fb.absoluteFilePath();
    return ca == cb;
}

// Copies `from` to `to` (created or truncated) and flushes it to the disk.
Result<> copyFile(const QString &from, const QString &to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return failure(in.errorString());
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failure(out.errorString());
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (g_failAfter >= 0) {
            if (g_failAfter < chunk.size()) {
                out.write(chunk.left(g_failAfter));
                g_failAfter = 0;
                return failure(QStringLiteral("磁盘写入失败"));
            }
            g_failAfter -= chunk.size();
        }
        if (out.write(chunk) != chunk.size())
            return failure(out.errorString());
    }
    if (in.error() != QFileDevice::NoError)
        return failure(in.errorString());
    if (!out.flush() || ::fsync(out.handle()) != 0)
        return failure(out.errorString());
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

// Has `write` make a temporary file beside `target`, checks it, and only then renames it over
// `target`: a backup that did not come out whole never replaces a good one.
Result<> writeChecked(const QString &target, const std::function<Result<>(const QString &temporary)> &write)
{
    const QString temporary = target + QStringLiteral(".part");
    Result<> done = write(temporary);
    if (done)
        done = verify(temporary);
    if (done)
        done = replace(temporary, target);
    if (!done)
        removeWithJournal(temporary);
    return done;
}

// Copies the store file `from` to `target`, checked.
Result<> copyChecked(const QString &from, const QString &target)
{
    return writeChecked(target, [&](const QString &temporary) { return copyFile(from, temporary); });
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

Result<> verify(const QString &path)
{
    Database db;
    if (!db.open(path, Store::key(), false))
        return failure(db.lastError());
    Statement check = db.prepare(QStringLiteral("PRAGMA integrity_check"));
    if (!check.next() || check.text(0) != u"ok")
        return failure(QStringLiteral("数据库文件已损坏"));
    check = Statement();
    return schema::check(db);
}

Result<> backUp(Database &db, const QString &livePath, const QString &target)
{
    if (db.isServer()) {
        const Result<> done = backUpTables(db, target);
        if (!done)
            qCWarning(lcBackup) << "backup of the server's tables to" << target << "failed:" << done.error();
        return done;
    }
    if (sameFile(livePath, target))
        return failure(QStringLiteral("不能备份到正在使用的数据库文件上"));
    // A read transaction: no write of this connection can be half in the file meanwhile.
    if (!db.exec(QStringLiteral("BEGIN")))
        return failure(db.lastError());
    Statement hold = db.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    hold.next();
    const Result<> done = copyChecked(livePath, target);
    hold = Statement();
    db.exec(QStringLiteral("COMMIT"));
    if (!done)
        qCWarning(lcBackup) << "backup to" << target << "failed:" << done.error();
    return done;
}

Result<QString> restore(const QString &livePath, const QString &chosen, const QDateTime &now)
{
    if (sameFile(livePath, chosen))
        return failure(QStringLiteral("不能用正在使用的数据库文件还原"));
    const QString incoming = livePath + QStringLiteral(".restoring");
    Result<> ready = copyFile(chosen, incoming);
    if (ready)
        ready = verify(incoming);
    if (!ready) {
        QFile::remove(incoming);
        QFile::remove(journalOf(incoming));
        qCWarning(lcBackup) << "restore from" << chosen << "refused:" << ready.error();
        return failure(ready.error());
    }
    const QString kept = keptName(QFileInfo(livePath).dir().path(), now);
    if (Result<> saved = copyFile(livePath, kept); !saved) {
        QFile::remove(incoming);
        QFile::remove(kept);
        return failure(saved.error());
    }
    // A journal left by the old store belongs to the kept copy, never to the restored file.
    if (QFile::exists(journalOf(livePath)))
        replace(journalOf(livePath), journalOf(kept));
    if (Result<> swapped = replace(incoming, livePath); !swapped) {
        QFile::remove(incoming);
        return failure(swapped.error());
    }
    return kept;
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

Result<QString> daily(Database &db, const QString &livePath, const QString &folder, const QDate &day,
                      int keep)
{
    QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder))
        return failure(QStringLiteral("无法建立文件夹“%1”").arg(folder));
    const QString target = dir.filePath(defaultName(day));
    if (QFile::exists(target))
        return QString();
    if (Result<> done = backUp(db, livePath, target); !done)
        return failure(done.error());
    // Daily backups are named by their day, so name order is age order.
    static const QRegularExpression dailyName(QStringLiteral("^\\d{8}\\.bak$"));
    QStringList names = dir.entryList({QStringLiteral("*.bak")}, QDir::Files, QDir::Name);
    names.removeIf([](const QString &n) { return !dailyName.match(n).hasMatch(); });
    for (qsizetype i = 0; i + keep < names.size(); ++i)
        QFile::remove(dir.filePath(names.at(i)));
    return target;
}

void failCopiesAfter(qint64 bytes)
{
    g_failAfter = bytes;
}

} // namespace backup
