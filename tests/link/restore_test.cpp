#include "billing/sessionstart.h"
#include "link/message.h"
#include "store/backup.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "support/linkfixture.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

// A restore under a running link: the desk goes on with the restored store, the PCs stay
// connected and are matched again, and nothing asked about the old data acts on the new.
class RestoreTest : public QObject
{
    Q_OBJECT

private slots:
    void theDeskAndItsPCsGoOnWithTheRestoredStore()
    {
        LinkFixture f;
        for (int n = 1; n <= 3; ++n)
            f.store.addMachine(n);
        f.store.addArticle(u"00000001"_s, u"可乐"_s, 3, 10);
        f.reload();
        auto pc = f.announced(1, u"127.0.0.2"_s);
        QVERIFY(QTest::qWaitFor([&] { return MachineTable(f.desk.db()).byNumber(1)->ip == u"127.0.0.2"_s; }));
        const QString saved = QDir(f.store.dir()).filePath(u"20020315.bak"_s);
        QVERIFY(backup::backUp(f.desk.db(), f.desk.store().path(), saved));

        // After the backup: another article, and the PC asks to start; nobody answers yet.
        f.store.addArticle(u"00000002"_s, u"雪碧"_s, 3, 10);
        QVERIFY(f.probe(*pc).contains(cp(u"雪碧"_s)));
        pc->send(u"_comm"_s, {u"start"_s});
        QVERIFY(QTest::qWaitFor([&] { return f.presenter.isAsking(); }));

        QVERIFY(f.desk.restoreFrom(saved));
        // The question about the old data is gone unanswered ...
        QVERIFY(!f.presenter.isAsking());
        QVERIFY(!f.presenter.answer(Answer::Yes));
        // The PC hears what the restored store says of its machine: standing by, so "stop"
        // (and never the "start" it asked about).
        QVERIFY(pc->waitFor(1));
        QTest::qWait(300);
        QCOMPARE(MachineTable(f.desk.db()).byNumber(1)->status, MachineStatus::Standby);
        QCOMPARE(pc->messages, QList<QByteArray>{bin("_comm\0stop\0OK$")});
        pc->messages.clear();
        // ... each machine is listed once, and the PC, still connected, is served from the
        // restored store.
        QCOMPARE(f.desk.machineList().count(), 3);
        QVERIFY(pc->isConnected());
        const QByteArray goods = f.probe(*pc);
        QVERIFY(goods.contains(cp(u"可乐"_s)));
        QVERIFY(!goods.contains(cp(u"雪碧"_s)));
        QCOMPARE(MachineTable(f.desk.db()).byNumber(1)->ip, u"127.0.0.2"_s);
    }

    // Two PCs in use when their backup was taken, both settled since: after the restore the
    // billing one is started again and the paused one paused, each on its own socket.
    void thePcsInUseAtTheBackupAreBroughtBackInLine()
    {
        LinkFixture f;
        f.store.addMachine(1);
        f.store.addMachine(2);
        f.reload();
        auto billing = f.announced(1, u"127.0.0.2"_s);
        auto paused = f.announced(2, u"127.0.0.3"_s);
        QVERIFY(QTest::qWaitFor([&] { return MachineTable(f.desk.db()).byNumber(2)->ip == u"127.0.0.3"_s; }));
        QVERIFY(f.desk.startTiming(1, SessionInput{}, false));
        QVERIFY(f.desk.startTiming(2, SessionInput{}, false));
        Machine m = *MachineTable(f.desk.db()).byNumber(2);
        m.status = MachineStatus::Paused;
        QVERIFY(MachineTable(f.desk.db()).save(m));
        const QString saved = QDir(f.store.dir()).filePath(u"20020315.bak"_s);
        QVERIFY(backup::backUp(f.desk.db(), f.desk.store().path(), saved));
        for (const int n : {1, 2}) {
            Machine s = *MachineTable(f.desk.db()).byNumber(n);
            s.status = MachineStatus::Standby;
            QVERIFY(MachineTable(f.desk.db()).save(s));
        }
        QVERIFY(billing->waitFor(1));
        QVERIFY(paused->waitFor(1));
        billing->messages.clear();
        paused->messages.clear();

        QVERIFY(f.desk.restoreFrom(saved));
        QVERIFY(billing->waitFor(1));
        QVERIFY(paused->waitFor(1));
        QTest::qWait(300);
        QCOMPARE(billing->messages, QList<QByteArray>{bin("_comm\0start\0OK$")});
        QCOMPARE(paused->messages, QList<QByteArray>{bin("_comm\0pause\0OK$")});
    }
};

QTEST_MAIN(RestoreTest)
#include "restore_test.moc"
