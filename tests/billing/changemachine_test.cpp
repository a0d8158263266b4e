#include "billing/changemachine.h"
#include "billing/fee.h"
#include "common/clock.h"
#include "goods/orders.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "support/testdesk.h"

#include <QTest>

namespace {

const QDateTime kStart(QDate(2002, 3, 14), QTime(9, 0));

QString ip(int n)
{
    return QStringLiteral("10.0.0.%1").arg(n);
}

} // namespace

class ChangeMachineTest final : public QObject
{
    Q_OBJECT

private:
    // Machines 1–7 at 3 yuan per hour (machine 7 at 4); 3 is billing, 5 paused, 4 standby.
    struct Fixture : TestDesk
    {
        Fixture()
        {
            for (int n = 1; n <= 7; ++n)
                store.addMachine(n, n == 7 ? 4 : 3, n == 4 ? MachineStatus::Standby : MachineStatus::Off,
                                 ip(n));
            store.startSession(3, kStart);
            Machine paused = store.startSession(5, kStart);
            paused.status = MachineStatus::Paused;
            paused.pauseStart = kStart.addSecs(1800);
            paused.pauseMinutes = 12;
            paused.prepaid = 8;
            paused.due = kStart.addSecs(7200);
            MachineTable(store.db()).save(paused);
            store.setTariff(1, 1);
            store.addArticle(QStringLiteral("00000001"), QStringLiteral("可乐"), 2.5);
            store.addArticle(QStringLiteral("00000002"), QStringLiteral("面包"), 3);
            open();
            link.connected = {ip(3), ip(4), ip(5)};
            desk.select(3);
        }
    };

private slots:
    void init() { Clock::fix(kStart.addSecs(3600)); }
    void cleanup() { Clock::release(); }

    void candidatesLeaveOutSessions()
    {
        Fixture f;
        QList<int> positions;
        for (const Machine &m : ChangeMachine::candidates(f.db()))
            positions << m.position;
        QCOMPARE(positions, (QList<int>{1, 2, 4, 6, 7}));
    }

    void sessionAndGoodsMoveToTarget()
    {
        Fixture f;
        QVERIFY(recordOrders(f.db(), 3, {{QStringLiteral("00000001"), 2}}, kStart));
        QVERIFY(recordOrders(f.db(), 3, {{QStringLiteral("00000002"), 1}}, kStart));
        QVERIFY(f.desk.changeMachine(3, 4));

        const Machine source = f.machine(3);
        QCOMPARE(source.status, MachineStatus::Standby);
        QVERIFY(!source.start.isValid());
        const Machine target = f.machine(4);
        QCOMPARE(target.status, MachineStatus::Billing);
        QCOMPARE(target.start, kStart);
        QCOMPARE(f.link.sent, (QStringList{ip(3) + QStringLiteral(" stop (every)"),
                                           ip(4) + QStringLiteral(" start (every)")}));
        OrderTable orders(f.db());
        QVERIFY(orders.linesOf(3).isEmpty());
        QCOMPARE(orders.goodsTotal(4), 8.0);
        // Charged on the target: one hour at the target's rate plus the goods.
        QCOMPARE(CountJF(f.db(), target), 11.0);

        QCOMPARE(f.desk.selected(), 4);
        QCOMPARE(f.desk.machineList().at(3)->icon, IconStandby);
        QCOMPARE(f.desk.machineList().at(3)->columns.at(7), QString());
        QCOMPARE(f.desk.machineList().at(4)->icon, IconBilling);
        QVERIFY(!f.desk.machineList().at(4)->columns.at(7).isEmpty());
    }

    void pausedSessionArrivesPaused()
    {
        Fixture f;
        QVERIFY(f.desk.changeMachine(5, 7));
        const Machine target = f.machine(7);
        QCOMPARE(target.status, MachineStatus::Paused);
        QCOMPARE(target.pauseStart, kStart.addSecs(1800));
        QCOMPARE(target.pauseMinutes, 12.0);
        QCOMPARE(target.prepaid, 8.0);
        QCOMPARE(target.due, kStart.addSecs(7200));
        QCOMPARE(target.rate, 4.0); // billed at the target's own rate
        const Machine source = f.machine(5);
        QVERIFY(!source.pauseStart.isValid());
        QCOMPARE(source.pauseMinutes, 0.0);
        QCOMPARE(source.prepaid, 0.0);
        QVERIFY(!source.due.isValid());
    }

    void unconnectedTargetStillGetsSession()
    {
        Fixture f;
        f.desk.setLink(nullptr);
        QVERIFY(f.desk.changeMachine(3, 6));
        QCOMPARE(f.machine(6).status, MachineStatus::Billing);
        QCOMPARE(f.machine(6).start, kStart);
        // Without a client the idle source turns off at the pass.
        QCOMPARE(f.machine(3).status, MachineStatus::Off);
        QVERIFY(f.link.sent.isEmpty());
    }

    void targetLinesOfSameArticleMerge()
    {
        Fixture f;
        QVERIFY(recordOrders(f.db(), 3, {{QStringLiteral("00000001"), 2}}, kStart));
        QVERIFY(recordOrders(f.db(), 4, {{QStringLiteral("00000001"), 1}}, kStart));
        // Two lines of one article, as older data may hold, arrive in full as one line.
        OrderTable orders(f.db());
        QVERIFY(orders.add({0, 3, QStringLiteral("00000002"), 1, kStart}));
        QVERIFY(orders.add({0, 3, QStringLiteral("00000002"), 2, kStart.addSecs(60)}));
        QVERIFY(f.desk.changeMachine(3, 4));
        const QList<OrderLine> lines = orders.linesOf(4);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0).quantity, 3.0);
        QCOMPARE(lines.at(1).article, QStringLiteral("00000002"));
        QCOMPARE(lines.at(1).quantity, 3.0);
        QCOMPARE(lines.at(1).time, kStart.addSecs(60));
        QVERIFY(orders.linesOf(3).isEmpty());
    }

    void sessionTakesModeAndCustomerAlong()
    {
        // An overnight session moved at 03:00 stays at the overnight price on the target.
        Fixture f;
        Clock::fix(QDateTime(QDate(2002, 3, 15), QTime(3, 0)));
        f.store.setTariff(1, 1, 15);
        Machine night = f.machine(3);
        night.mode = QStringLiteral("P");
        night.customer = QStringLiteral("张三");
        night.idKind = QStringLiteral("身份证");
        night.idNumber = QStringLiteral("110101");
        f.save(night);
        QVERIFY(f.desk.changeMachine(3, 7));

        const Machine target = f.machine(7);
        QCOMPARE(target.mode, QStringLiteral("P"));
        QCOMPARE(target.customer, QStringLiteral("张三"));
        QCOMPARE(target.idKind, QStringLiteral("身份证"));
        QCOMPARE(target.idNumber, QStringLiteral("110101"));
        QCOMPARE(CountJF(f.db(), target), 15.0);
        const Machine source = f.machine(3);
        QCOMPARE(source.mode, QString());
        QCOMPARE(source.customer, QString());
        QCOMPARE(source.idKind, QString());
        QCOMPARE(source.idNumber, QString());
    }

    void equalNumbersKeepTheirGoods()
    {
        // Odd stored data: machines 3 and 4 both numbered 3.
        Fixture f;
        QVERIFY(f.db().exec(QStringLiteral(R"(UPDATE yxsjb SET "机号"=3 WHERE "名称"='4号机')")));
        QVERIFY(recordOrders(f.db(), 3, {{QStringLiteral("00000001"), 2}}, kStart));
        QVERIFY(recordOrders(f.db(), 3, {{QStringLiteral("00000002"), 1}}, kStart));
        QVERIFY(f.desk.changeMachine(3, 4));
        const QList<OrderLine> lines = OrderTable(f.db()).linesOf(3);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0).quantity, 2.0);
        QCOMPARE(lines.at(1).quantity, 1.0);
    }

    void refusedMoves_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("target");
        QTest::newRow("no target") << 3 << 0;
        QTest::newRow("target missing") << 3 << 8;
        QTest::newRow("onto itself") << 3 << 3;
        QTest::newRow("onto a billing machine") << 5 << 3;
        QTest::newRow("onto a paused machine") << 3 << 5;
        QTest::newRow("source idle") << 4 << 6;
    }
    void refusedMoves()
    {
        QFETCH(int, source);
        QFETCH(int, target);
        Fixture f;
        const QList<Machine> before = MachineTable(f.db()).all();
        const Result<> result = f.desk.changeMachine(source, target);
        QVERIFY(!result);
        QVERIFY(!result.error().isEmpty());
        const QList<Machine> after = MachineTable(f.db()).all();
        for (int i = 0; i < before.size(); ++i) {
            QCOMPARE(after.at(i).status, before.at(i).status);
            QCOMPARE(after.at(i).start, before.at(i).start);
        }
        QVERIFY(f.link.sent.isEmpty());
        QCOMPARE(f.desk.selected(), 3);
    }
};

QTEST_GUILESS_MAIN(ChangeMachineTest)
#include "changemachine_test.moc"
