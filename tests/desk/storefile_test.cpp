#include "audit/trail.h"
#include "common/clock.h"
#include "store/backup.h"
#include "store/machinetable.h"
#include "support/testdesk.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2002, 3, 15), QTime(9, 30, 5));

QStringList noticesOf(const QSignalSpy &spy)
{
    QStringList texts;
    for (const QList<QVariant> &args : spy)
        texts << args.at(0).toString();
    return texts;
}

} // namespace

// The store file under the desk: its copies beside the desk's work, a restore that brings the
// café's PCs in line, and a file deleted or made read-only while the desk runs.
class StoreFileTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Clock::fix(kNow); }

    void aRestoreTellsEachConnectedPcWhatTheStoreSays()
    {
        TestDesk t;
        t.store.addMachine(1, 3, MachineStatus::Standby, u"10.0.0.1"_s);
        t.store.addMachine(2, 3, MachineStatus::Standby, u"10.0.0.2"_s);
        t.store.addMachine(3, 3, MachineStatus::Standby, u"10.0.0.3"_s);
        t.store.addMachine(4, 3, MachineStatus::Standby, u"10.0.0.4"_s);
        t.store.startSession(1, kNow.addSecs(-600));
        t.store.startSession(2, kNow.addSecs(-600));
        t.store.startSession(4, kNow.addSecs(-600));
        t.open();
        Machine paused = t.machine(2);
        paused.status = MachineStatus::Paused;
        paused.pauseStart = kNow;
        t.save(paused);
        t.link.connected = QSet<QString>{u"10.0.0.1"_s, u"10.0.0.2"_s, u"10.0.0.3"_s};
        const QString saved = QDir(t.store.dir()).filePath(u"saved.bak"_s);
        QVERIFY(backup::backUp(t.db(), t.desk.store().path(), saved));

        // After the backup 3 starts and 1 is settled: the PCs follow the live store ...
        QVERIFY(t.desk.startTiming(3, SessionInput{}, false));
        Machine settled = t.machine(1);
        settled.status = MachineStatus::Standby;
        t.save(settled);
        t.link.sent.clear();

        // ... and after the restore, what the restored store says: 1 bills again, 2 stays
        // paused, 3 is standing by; 4 has no PC to tell.
        QVERIFY(t.desk.restoreFrom(saved));
        QCOMPARE(t.link.sent, (QStringList{u"10.0.0.1 start"_s, u"10.0.0.2 pause"_s, u"10.0.0.3 stop"_s}));
        const QList<audit::Entry> trail = audit::entries(t.db(), {}, {}, {}, 0, {});
        QVERIFY(!trail.isEmpty());
        QCOMPARE(trail.last().kind, u"数据还原"_s);
        QVERIFY2(trail.last().details.endsWith(u"通知各机：1号机 start，2号机 pause，3号机 stop"_s),
                 qPrintable(trail.last().details));
    }

    void aStoreFileGoneOrReadOnlyRefusesActionsUntilItIsBack_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("deleted") << u"deleted"_s;
        QTest::newRow("moved away") << u"moved"_s;
        QTest::newRow("replaced by another file") << u"replaced"_s;
        QTest::newRow("made read-only") << u"read-only"_s;
    }
    void aStoreFileGoneOrReadOnlyRefusesActionsUntilItIsBack()
    {
        QFETCH(QString, how);
        TestDesk t;
        t.store.addMachine(1, 3, MachineStatus::Standby, u"10.0.0.1"_s);
        t.store.addMachine(2, 3, MachineStatus::Standby, u"10.0.0.2"_s);
        t.open();
        QSignalSpy notices(&t.desk, &FrontDesk::statusNotice);
        const QString path = t.desk.store().path();
        const QString held = path + u".held"_s; // the same file under another name
        QVERIFY(t.desk.storeFileIntact());
        if (how == u"deleted") {
            QVERIFY(::link(QFile::encodeName(path).constData(), QFile::encodeName(held).constData()) == 0);
            QVERIFY(QFile::remove(path));
        } else if (how == u"moved") {
            QVERIFY(QFile::rename(path, held));
        } else if (how == u"replaced") {
            QVERIFY(QFile::rename(path, held));
            QVERIFY(QFile::copy(held, path));
        } else {
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        }
        // The pass notices it and says so, once.
        t.desk.refresh();
        t.desk.refresh();
        const QString gone = FrontDesk::storeFileGoneText(path);
        QCOMPARE(noticesOf(notices), QStringList{gone});
        QVERIFY(gone.contains(QDir::toNativeSeparators(path)));
        // An operator's command is refused before anything is written or sent.
        const Result<> refused = t.desk.startTiming(1, SessionInput{}, false);
        QVERIFY(!refused);
        QCOMPARE(refused.error(), gone);
        QVERIFY(t.link.sent.isEmpty());
        QVERIFY(!t.machine(1).inSession());

        // Back as it was: the desk goes on.
        if (how == u"read-only") {
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        } else {
            QFile::remove(path);
            QVERIFY(QFile::rename(held, path));
        }
        t.desk.refresh();
        QCOMPARE(notices.size(), 2);
        QVERIFY(!notices.last().at(0).toString().contains(u"已被删除"_s));
        QVERIFY(t.desk.startTiming(2, SessionInput{}, false));
        QCOMPARE(t.link.sent, QStringList{u"10.0.0.2 start"_s});
    }

    void actionsWaitWhileTheStoreIsCopied()
    {
        TestDesk t;
        t.store.addMachine(1, 3, MachineStatus::Standby, u"10.0.0.1"_s);
        t.open();
        // The copy is held at its start until the test lets it go.
        QSemaphore go;
        backup::setBeforeCopy([&] { go.tryAcquire(1, 20000); });
        const QString target = QDir(t.store.dir()).filePath(u"manual.bak"_s);
        std::optional<Result<>> outcome;
        QVERIFY(t.desk.startBackup(target, [&](const Result<> &r) { outcome = r; }));
        QVERIFY(t.desk.copying());
        QVERIFY(!t.desk.startBackup(target, [](const Result<> &) {}));
        QVERIFY(!t.desk.startRestore(target, [](const Result<> &) {}));
        const Result<> refused = t.desk.startTiming(1, SessionInput{}, false);
        QVERIFY(!refused);
        QCOMPARE(refused.error(), FrontDesk::backupWaitText());
        QVERIFY(t.link.sent.isEmpty());
        go.release();
        QVERIFY(QTest::qWaitFor([&] { return outcome.has_value(); }, 30000));
        backup::setBeforeCopy({});
        QVERIFY2(*outcome, qPrintable(outcome->error()));
        QVERIFY(backup::verify(target));
        QCOMPARE(audit::entries(t.db(), {}, {}, {}, 0, {}).last().kind, u"数据备份"_s);
        QVERIFY(t.desk.startTiming(1, SessionInput{}, false));
    }

    // A restore beside the desk swaps the store and tells the PCs. The store and the trail are
    // opened again in turns of their own: between them the PCs' questions already read the
    // restored store, and yet no action may slip in.
    void anAsideRestoreRefusesActionsUntilItsLastStep()
    {
        TestDesk t;
        t.store.addMachine(1, 3, MachineStatus::Standby, u"10.0.0.1"_s);
        t.open();
        const QString saved = QDir(t.store.dir()).filePath(u"saved.bak"_s);
        QVERIFY(backup::backUp(t.db(), t.desk.store().path(), saved));
        QVERIFY(t.desk.startTiming(1, SessionInput{}, false));
        t.link.sent.clear();
        std::optional<Result<>> outcome;
        QVERIFY(t.desk.startRestore(saved, [&](const Result<> &r) { outcome = r; }));
        bool sawRestored = false;
        for (int turn = 0; !outcome && turn < 100000; ++turn) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
            if (outcome)
                break;
            QVERIFY(t.desk.copying());
            sawRestored = sawRestored || !t.machine(1).inSession();
            const Result<> refused = t.desk.startTiming(1, SessionInput{}, false);
            QVERIFY(!refused);
            QCOMPARE(refused.error(), FrontDesk::restoreWaitText());
        }
        QVERIFY(outcome.has_value());
        QVERIFY2(*outcome, qPrintable(outcome->error()));
        QVERIFY(sawRestored);
        QVERIFY(!t.desk.copying());
        // Nothing written meanwhile: the restore is the newest entry, and the desk acts again.
        QCOMPARE(audit::entries(t.db(), {}, {}, {}, 0, {}).last().kind, u"数据还原"_s);
        QVERIFY(!t.machine(1).inSession());
        QCOMPARE(t.link.sent, QStringList{u"10.0.0.1 stop"_s});
        // The desk watches the restored file now, not the one it replaced.
        QVERIFY(t.desk.storeFileIntact());
        QVERIFY(t.desk.startTiming(1, SessionInput{}, false));
        QCOMPARE(audit::entries(t.db(), {}, {}, {}, 0, {}).last().kind, u"开始记费"_s);
    }

    void theDailyBackupOnAFullDiskSaysSoAndWhere()
    {
        TestDesk t;
        t.open();
        QSignalSpy notices(&t.desk, &FrontDesk::statusNotice);
        backup::failCopiesAfter(100);
        t.desk.startDailyBackups();
        const bool said = QTest::qWaitFor([&] { return !notices.isEmpty(); }, 30000);
        backup::failCopiesAfter(-1);
        QVERIFY(said);
        const QString folder = QDir(t.store.dir()).filePath(u"backup"_s);
        QCOMPARE(notices.first().at(0).toString(), u"自动备份失败："_s + backup::diskFullText(folder));
        QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
    }

    void theStoreTheTrailAndTheBackupsAreTheOwnersOnly()
    {
        TestDesk t;
        QVERIFY(
            QFile::setPermissions(t.store.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        t.open();
        QCOMPARE(fileMode(t.desk.store().path()), 0600);
        QCOMPARE(fileMode(QDir(t.store.dir()).filePath(u"audit.db"_s)), 0600);
        t.desk.startDailyBackups();
        const QString daily = QDir(t.store.dir()).filePath(u"backup/"_s + backup::defaultName(kNow.date()));
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(daily) && !t.desk.copying(); }, 30000));
        QCOMPARE(fileMode(daily), 0600);
    }
};

QTEST_GUILESS_MAIN(StoreFileTest)
#include "storefile_test.moc"
