#include "audit/trail.h"
#include "common/clock.h"
#include "store/backup.h"
#include "store/machinetable.h"
#include "support/testdesk.h"

#include <QDir>
#include <QTest>

namespace {
const QDateTime kNow(QDate(2002, 3, 15), QTime(21, 0));
}

// The desk writes an operator's action and its trail entry together.
class DeskTrailTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    void actionsAreRecordedWithTheirFigures()
    {
        TestDesk t;
        t.store.setTariff(1, 1);
        t.store.addMachine(1, 3, MachineStatus::Standby, QStringLiteral("10.0.0.1"));
        t.store.addMachine(2, 3, MachineStatus::Standby, QStringLiteral("10.0.0.2"));
        t.open();
        t.desk.setOperator(QStringLiteral("小王"), QStringLiteral("B"));
        QVERIFY(t.desk.hasTrail());

        SessionInput input;
        input.name = QStringLiteral("张三");
        input.prepaid = QStringLiteral("5");
        QVERIFY(t.desk.startTiming(1, input, false));
        // Refused actions leave no entry.
        QVERIFY(!t.desk.startTiming(1, input, false));
        QVERIFY(!t.desk.changeMachine(2, 1));
        Clock::advanceSeconds(3600);
        QVERIFY(t.desk.changeMachine(1, 2));
        std::unique_ptr<Checkout> checkout = t.desk.openCheckout(2);
        QVERIFY(checkout);
        checkout->setReceivedText(QStringLiteral("3"));
        QVERIFY(t.desk.settle(*checkout, false));

        const QList<audit::Entry> all = audit::entries(t.db(), {}, {}, {}, 0, {});
        QStringList kinds;
        for (const audit::Entry &e : all)
            kinds << QStringLiteral("%1@%2").arg(e.kind).arg(e.machine);
        QCOMPARE(kinds, (QStringList{QStringLiteral("开始记费@1"), QStringLiteral("调换计算机@1"),
                                     QStringLiteral("结帐@2")}));
        QCOMPARE(all.at(0).operatorName, QStringLiteral("小王"));
        QVERIFY(all.at(0).details.contains(QStringLiteral("张三")));
        QCOMPARE(all.at(2).details, QStringLiteral("应收：3 实收：3 优惠：100 共收：3 已收：0"));
        QCOMPARE(audit::verify(t.db()).value_or(-1), 3);
        // A moment later they are in the trail file.
        auto inTrailFile = [&] {
            Statement s = t.db().prepare(QStringLiteral("SELECT count(*) FROM audit.trail"));
            return s.next() ? s.integer(0) : -1;
        };
        QCOMPARE(inTrailFile(), 0);
        QTRY_COMPARE(inTrailFile(), 3);
        QCOMPARE(audit::verify(t.db()).value_or(-1), 3);
    }

    void aFailedCheckoutLeavesNoEntry()
    {
        TestDesk t;
        t.store.addMachine(1, 3, MachineStatus::Standby, QStringLiteral("10.0.0.1"));
        t.store.startSession(1, kNow.addSecs(-3600));
        t.open();
        std::unique_ptr<Checkout> checkout = t.desk.openCheckout(1);
        t.db().failWritesAfter(2);
        QVERIFY(!t.desk.settle(*checkout, false));
        t.db().failWritesAfter(-1);
        QCOMPARE(audit::entries(t.db(), {}, {}, {}, 0, {}).size(), 0);
    }

    void aRestoreKeepsTheTrailAndIsRecorded()
    {
        TestDesk t;
        t.store.addMachine(1, 3, MachineStatus::Standby, QStringLiteral("10.0.0.1"));
        t.open();
        const QString saved = QDir(t.store.dir()).filePath(QStringLiteral("saved.bak"));
        QVERIFY(backup::backUp(t.db(), t.desk.store().path(), saved));
        QVERIFY(t.desk.startTiming(1, SessionInput{}, false));
        QVERIFY(t.desk.restoreFrom(saved));
        // The store went back to before the session; the trail did not.
        QVERIFY(!MachineTable(t.db()).byNumber(1)->inSession());
        QStringList kinds;
        for (const audit::Entry &e : audit::entries(t.db(), {}, {}, {}, 0, {}))
            kinds << e.kind;
        QCOMPARE(kinds, (QStringList{QStringLiteral("开始记费"), QStringLiteral("数据还原"), QStringLiteral("数据还原")}));
        QCOMPARE(audit::verify(t.db()).value_or(-1), 3);
    }
};

QTEST_MAIN(DeskTrailTest)
#include "trail_test.moc"
