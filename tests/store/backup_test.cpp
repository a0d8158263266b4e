#include "store/backup.h"
#include "store/backupjob.h"
#include "store/database.h"
#include "store/machinetable.h"
#include "store/store.h"
#include "support/teststore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QTest>
#include <QTimer>
#include <sqlcipher/sqlite3.h>

using namespace Qt::StringLiterals;

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
        // Only the café's own account reads a copy of its takings.
        QCOMPARE(fileMode(target), 0600);
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
        QTest::addColumn<QString>("said"); // part of the reason given
        QTest::newRow("garbage") << QStringLiteral("garbage") << QString();
        QTest::newRow("another key") << QStringLiteral("key") << QString();
        QTest::newRow("plain SQLite") << QStringLiteral("plain") << QString();
        QTest::newRow("newer version") << QStringLiteral("newer") << QString();
        QTest::newRow("missing table") << QStringLiteral("table") << QStringLiteral("hickhttp");
        QTest::newRow("missing column") << QStringLiteral("column") << QStringLiteral("sjlszb 缺少字段 优惠");
        QTest::newRow("extra column") << QStringLiteral("extra") << QStringLiteral("spkcb 有多余的字段 备注");
        QTest::newRow("columns swapped") << QStringLiteral("order") << QStringLiteral("quickhttp 的字段顺序");
        QTest::newRow("the live file") << QStringLiteral("live") << QString();
        QTest::newRow("copy fails halfway") << QStringLiteral("halfway") << QStringLiteral("磁盘空间不足");
    }
    void unusableFilesAreNeverRestored()
    {
        QFETCH(QString, kind);
        QFETCH(QString, said);
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
        } else if (kind == u"newer" || kind == u"table" || kind == u"column" || kind == u"extra" ||
                   kind == u"order") {
            makeStore(chosen, 1);
            Database db;
            QVERIFY(db.open(chosen, Store::key(), false));
            const QHash<QString, QString> change{
                {u"newer"_s, u"PRAGMA user_version = 99"_s},
                {u"table"_s, u"DROP TABLE hickhttp"_s},
                // The engine drops no column: the table is made again without it.
                {u"column"_s, uR"(DROP TABLE sjlszb; CREATE TABLE sjlszb ("ID" INTEGER, "机号" INTEGER,
                    "开始时间" TEXT, "结束时间" TEXT, "上机方式" TEXT, "应收款" REAL, "实收款" REAL,
                    "结帐人" TEXT, "客户姓名" TEXT, "客户证件" TEXT, "证件号码" TEXT))"_s},
                {u"extra"_s, uR"(ALTER TABLE spkcb ADD COLUMN "备注" TEXT)"_s},
                {u"order"_s,
                 uR"(DROP TABLE quickhttp; CREATE TABLE quickhttp ("网站地址" TEXT, "网站名称" TEXT))"_s},
            };
            QVERIFY(db.exec(change.value(kind)));
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
        QVERIFY2(restored.error().contains(said), qPrintable(restored.error()));
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
        QCOMPARE(fileMode(live), 0600);
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

    // The copy runs beside the event loop: the worker is held at the start of its copy until a
    // timer of the event loop lets it go, so the backup only completes if the timer fired
    // while it ran.
    void aTimerFiresDuringABackup()
    {
        TestStore t;
        t.addMachine(1);
        const QString target = QDir(t.dir()).filePath(u"aside.bak"_s);
        QSemaphore released;
        bool held = false;
        backup::setBeforeCopy([&] { held = released.tryAcquire(1, 20000); });
        int fired = 0;
        QTimer timer;
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (fired++ == 0)
                released.release();
        });
        timer.start();
        QObject context;
        std::optional<Result<QString>> outcome;
        BackupJob job;
        QVERIFY(job.start(
            u"请稍候"_s, &context,
            [&]() -> Result<QString> {
                if (const Result<> done = backup::backUpFile(t.path(), target); !done)
                    return failure(done.error());
                return target;
            },
            [&](const Result<QString> &r) { outcome = r; }));
        QVERIFY(job.running());
        QCOMPARE(job.waitText(), u"请稍候"_s);
        // One copy at a time.
        QVERIFY(!job.start(
            u"x"_s, &context, [] { return Result<QString>(); }, [](const Result<QString> &) {}));
        QVERIFY(QTest::qWaitFor([&] { return outcome.has_value(); }, 30000));
        backup::setBeforeCopy({});
        QVERIFY(held);
        QVERIFY(fired > 0);
        QVERIFY2(*outcome, qPrintable(outcome->error()));
        QVERIFY(!job.running());
        QCOMPARE(checksum(target), checksum(t.path()));
    }
};

QTEST_MAIN(BackupTest)
#include "backup_test.moc"
