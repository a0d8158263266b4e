#include "store/backup.h"
#include "store/database.h"
#include "store/machinetable.h"
#include "store/store.h"
#include "support/teststore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>
#include <sqlcipher/sqlite3.h>

namespace {

const QDateTime kNow(QDate(2002, 3, 15), QTime(9, 30, 5));

QByteArray checksum(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5);
}

// A store file at `path` holding `machines` machines.
void makeStore(const QString &path, int machines)
{
    Store store;
    QString error;
    QVERIFY2(store.open(path, &error), qPrintable(error));
    for (int n = 1; n <= machines; ++n) {
        Machine m;
        m.number = n;
        m.name = QStringLiteral("%1号机").arg(n);
        QVERIFY(MachineTable(store.db()).add(m));
    }
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class BackupTest : public QObject
{
    Q_OBJECT

private slots:
    void backupIsAnOpenableCopyOfTheLiveData()
    {
        TestStore t;
        t.addMachine(1);
        t.addArticle(QStringLiteral("00000001"), QStringLiteral("可乐"), 3);
        const QString target = QDir(t.dir()).filePath(backup::defaultName(kNow.date()));
        QCOMPARE(QFileInfo(target).fileName(), QStringLiteral("20020315.bak"));
        QVERIFY(backup::backUp(t.db(), t.path(), target));
        QCOMPARE(checksum(target), checksum(t.path()));
        QVERIFY(backup::verify(target));
        QVERIFY(!QFile::exists(target + QStringLiteral(".part")));
        // The store stays usable afterwards, and a second backup replaces the first.
        t.addMachine(2);
        QVERIFY(backup::backUp(t.db(), t.path(), target));
        Store copy;
        QString error;
        QVERIFY(copy.open(target, &error));
        QCOMPARE(tableDump(copy.db()), tableDump(t.db()));
        // Never onto the live file itself.
        QVERIFY(!backup::backUp(t.db(), t.path(), t.path()));
    }

    void unusableFilesAreNeverRestored_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("garbage") << QStringLiteral("garbage");
        QTest::newRow("another key") << QStringLiteral("key");
        QTest::newRow("plain SQLite") << QStringLiteral("plain");
        QTest::newRow("newer version") << QStringLiteral("newer");
        QTest::newRow("missing table") << QStringLiteral("table");
        QTest::newRow("the live file") << QStringLiteral("live");
        QTest::newRow("copy fails halfway") << QStringLiteral("halfway");
    }
    void unusableFilesAreNeverRestored()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString live = dir.filePath(QStringLiteral("dbase.mdb"));
        makeStore(live, 3);
        QString chosen = dir.filePath(QStringLiteral("chosen.bak"));
        if (kind == u"garbage") {
            writeFile(chosen, QByteArray(8192, '\x5a'));
        } else if (kind == u"key" || kind == u"plain") {
            sqlite3 *raw = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(chosen).constData(), &raw), SQLITE_OK);
            if (kind == u"key")
                sqlite3_key(raw, "other", 5);
            QCOMPARE(sqlite3_exec(raw, "CREATE TABLE t(x)", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(raw);
        } else if (kind == u"newer" || kind == u"table") {
            makeStore(chosen, 1);
            Database db;
            QVERIFY(db.open(chosen, Store::key(), false));
            QVERIFY(db.exec(kind == u"newer" ? QStringLiteral("PRAGMA user_version = 99")
                                             : QStringLiteral("DROP TABLE hickhttp")));
        } else if (kind == u"live") {
            chosen = live;
        } else {
            makeStore(chosen, 1);
            backup::failCopiesAfter(1000);
        }
        const QByteArray before = checksum(live);
        const Result<QString> restored = backup::restore(live, chosen, kNow);
        backup::failCopiesAfter(-1);
        QVERIFY(!restored);
        QVERIFY(!restored.error().isEmpty());
        QCOMPARE(checksum(live), before);
        // Nothing is left behind: no kept copy, no half-written file.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).filter(QStringLiteral("还原前")).size(), 0);
        QVERIFY(!QFile::exists(live + QStringLiteral(".restoring")));
    }

    void restoreSwapsTheFileAndKeepsTheOldOne()
    {
        QTemporaryDir dir;
        const QString live = dir.filePath(QStringLiteral("dbase.mdb"));
        const QString chosen = dir.filePath(QStringLiteral("20020301.bak"));
        makeStore(live, 3);
        makeStore(chosen, 5);
        writeFile(live + QStringLiteral("-journal"), "stale journal of the old store");
        const QByteArray old = checksum(live);
        const Result<QString> kept = backup::restore(live, chosen, kNow);
        QVERIFY2(kept, qPrintable(kept.error()));
        QCOMPARE(QFileInfo(*kept).fileName(), QStringLiteral("还原前20020315093005.bak"));
        QCOMPARE(checksum(*kept), old);
        QCOMPARE(checksum(live), checksum(chosen));
        // The old store's journal went with the kept copy, not into the restored one.
        QVERIFY(!QFile::exists(live + QStringLiteral("-journal")));
        QVERIFY(QFile::exists(*kept + QStringLiteral("-journal")));
        {
            Store reopened;
            QString error;
            QVERIFY(reopened.open(live, &error));
            QCOMPARE(MachineTable(reopened.db()).count(), 5);
        }
        // And it can be undone.
        QVERIFY(backup::putBack(live, *kept));
        QCOMPARE(checksum(live), old);
    }

    void dailyBackupsKeepTheNewestThirty()
    {
        TestStore t;
        const QString folder = QDir(t.dir()).filePath(QStringLiteral("backup"));
        QVERIFY(QDir().mkpath(folder));
        for (int i = 1; i <= 35; ++i)
            writeFile(QDir(folder).filePath(backup::defaultName(kNow.date().addDays(-i))), "old");
        writeFile(QDir(folder).filePath(QStringLiteral("mine.bak")), "not a daily backup");

        const Result<QString> written = backup::daily(t.db(), t.path(), folder, kNow.date());
        QVERIFY(written);
        QCOMPARE(QFileInfo(*written).fileName(), QStringLiteral("20020315.bak"));
        QStringList left = QDir(folder).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left.size(), 31); // 30 daily ones and the operator's own file
        QCOMPARE(left.first(), backup::defaultName(kNow.date().addDays(-29)));
        QVERIFY(left.contains(QStringLiteral("mine.bak")));
        // Once a day: the second call the same day writes nothing.
        const Result<QString> again = backup::daily(t.db(), t.path(), folder, kNow.date());
        QVERIFY(again && again->isEmpty());
    }
};

QTEST_MAIN(BackupTest)
#include "backup_test.moc"
