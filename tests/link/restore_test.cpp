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
        QTest::qWait(300);
        QCOMPARE(MachineTable(f.desk.db()).byNumber(1)->status, MachineStatus::Standby);
        QVERIFY(pc->messages.isEmpty()); // no "start"
        // ... each machine is listed once, and the PC, still connected, is served from the
        // restored store.
        QCOMPARE(f.desk.machineList().count(), 3);
        QVERIFY(pc->isConnected());
        const QByteArray goods = f.probe(*pc);
        QVERIFY(goods.contains(cp(u"可乐"_s)));
        QVERIFY(!goods.contains(cp(u"雪碧"_s)));
        QCOMPARE(MachineTable(f.desk.db()).byNumber(1)->ip, u"127.0.0.2"_s);
    }
};

QTEST_MAIN(RestoreTest)
#include "restore_test.moc"
