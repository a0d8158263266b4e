#include "common/clock.h"
#include "goods/orders.h"
#include "machines/machinemanagement.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "support/teststore.h"

#include <QTest>

using namespace MachineManagement;

namespace {

// 1号机, 2号机, 3号机 (at 10.0.0.3) and 吧台, all off.
void addFourMachines(TestStore &store)
{
    store.addMachine(1);
    store.addMachine(2);
    Machine third = store.addMachine(3);
    third.ip = u"10.0.0.3"_qs;
    MachineTable(store.db()).save(third);
    Machine bar = store.addMachine(4);
    bar.name = u"吧台"_qs;
    MachineTable(store.db()).save(bar);
}

void setStatus(TestStore &store, int number, MachineStatus status)
{
    Machine m = *MachineTable(store.db()).byNumber(number);
    m.status = status;
    m.start = Clock::now();
    MachineTable(store.db()).save(m);
}

QStringList namesAndNumbers(Database &db)
{
    QStringList result;
    for (const Machine &m : MachineTable(db).all())
        result << QString::number(m.number) + u' ' + m.name;
    return result;
}

} // namespace

class MachineManagementTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(QDateTime(QDate(2026, 3, 7), QTime(9, 5))); }
    void cleanup() { Clock::release(); }

    void addProposesAndWritesTheNextMachine();
    void modifyKeepsTheSession();
    void deleteRenumbersTheLaterMachines();
    void refusedDeleteChangesNothing_data();
    void refusedDeleteChangesNothing();
    void setAllRates();
};

void MachineManagementTest::addProposesAndWritesTheNextMachine()
{
    TestStore store;
    addFourMachines(store);
    const Proposal p = proposeNew(store.db());
    QCOMPARE(p.number, 5);
    QCOMPARE(p.name, u"5号机"_qs);

    const Result<Machine> added = add(store.db(), {u"5号机"_qs, u"10.0.0.5"_qs, u"2.5"_qs});
    QVERIFY(added);
    const Machine m = *MachineTable(store.db()).at(5);
    QCOMPARE(QString::number(m.number) + m.name + m.ip + QString::number(m.rate), u"55号机10.0.0.52.5"_qs);
    QCOMPARE(m.status, MachineStatus::Off);
    QCOMPARE(added->position, 5);
}

void MachineManagementTest::modifyKeepsTheSession()
{
    TestStore store;
    addFourMachines(store);
    const QDateTime start(QDate(2026, 3, 7), QTime(8, 0));
    const Machine before = store.startSession(2, start);
    QVERIFY(modify(store.db(), before.rowid, {u"贵宾室"_qs, u"10.0.0.9"_qs, u"6"_qs}));
    const Machine after = *MachineTable(store.db()).byRowid(before.rowid);
    QCOMPARE(QString::number(after.number) + after.name + after.ip + QString::number(after.rate),
             u"2贵宾室10.0.0.96"_qs);
    QCOMPARE(after.status, MachineStatus::Billing);
    QCOMPARE(after.start, start);
}

void MachineManagementTest::deleteRenumbersTheLaterMachines()
{
    TestStore store;
    addFourMachines(store);
    store.startSession(1, Clock::now()); // an earlier machine's session keeps its number
    QVERIFY(recordOrders(store.db(), 1, {{u"00000001"_qs, 1}}, Clock::now()));
    const Machine third = *MachineTable(store.db()).byNumber(3);

    const Result<Removal> removed = remove(store.db(), MachineTable(store.db()).byNumber(2)->rowid);
    QVERIFY(removed);
    QCOMPARE(removed->removed.position, 2);
    QCOMPARE(namesAndNumbers(store.db()), (QStringList{u"1 1号机"_qs, u"2 2号机"_qs, u"3 吧台"_qs}));
    const Machine second = *MachineTable(store.db()).at(2);
    QCOMPARE(second.rowid, third.rowid);
    QCOMPARE(second.ip, u"10.0.0.3"_qs);
    QCOMPARE(removed->renumbered, (QHash<int, int>{{2, 0}, {3, 2}, {4, 3}}));
    QCOMPARE(OrderTable(store.db()).linesOf(1).size(), 1);
    // The next machine follows on; the selection stays on its machine.
    QCOMPARE(proposeNew(store.db()).name, u"4号机"_qs);
    QCOMPARE(QList<int>({positionAfterRemoval(1, 2, 3), positionAfterRemoval(4, 2, 3),
                         positionAfterRemoval(2, 2, 3), positionAfterRemoval(4, 4, 3),
                         positionAfterRemoval(1, 1, 0)}),
             QList<int>({1, 3, 2, 3, 0}));
}

void MachineManagementTest::refusedDeleteChangesNothing_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("busy");
    QTest::addColumn<MachineStatus>("status");
    QTest::addColumn<bool>("goods");
    QTest::addColumn<int>("failWritesAfter");
    QTest::addColumn<QString>("message");
    const QString billing = u"由于当前计算机处于记费状态，所以不能删除！"_qs;
    const QString later = u"后面还有计算机在记费或有未结帐的商品，现在不能删除！"_qs;
    QTest::newRow("billing") << 2 << 2 << MachineStatus::Billing << false << -1 << billing;
    QTest::newRow("paused") << 2 << 2 << MachineStatus::Paused << false << -1 << billing;
    QTest::newRow("later billing") << 2 << 4 << MachineStatus::Billing << false << -1 << later;
    QTest::newRow("later paused") << 1 << 3 << MachineStatus::Paused << false << -1 << later;
    QTest::newRow("later goods") << 2 << 3 << MachineStatus::Standby << true << -1 << later;
    QTest::newRow("own goods") << 4 << 4 << MachineStatus::Off << true << -1 << later;
    QTest::newRow("store fails midway") << 2 << 1 << MachineStatus::Billing << false << 2 << QString();
}

void MachineManagementTest::refusedDeleteChangesNothing()
{
    QFETCH(int, target);
    QFETCH(int, busy);
    QFETCH(MachineStatus, status);
    QFETCH(bool, goods);
    QFETCH(int, failWritesAfter);
    QFETCH(QString, message);
    TestStore store;
    addFourMachines(store);
    setStatus(store, busy, status);
    if (goods)
        QVERIFY(recordOrders(store.db(), busy, {{u"00000001"_qs, 2}}, Clock::now()));
    const qint64 rowid = MachineTable(store.db()).byNumber(target)->rowid;
    const QStringList before = tableDump(store.db());

    if (!message.isEmpty())
        QCOMPARE(checkRemovable(store.db(), rowid).error(), message);
    store.db().failWritesAfter(failWritesAfter);
    const Result<Removal> removed = remove(store.db(), rowid);
    store.db().failWritesAfter(-1);
    QVERIFY(!removed);
    if (!message.isEmpty())
        QCOMPARE(removed.error(), message);
    QCOMPARE(tableDump(store.db()), before);
}

void MachineManagementTest::setAllRates()
{
    TestStore store;
    addFourMachines(store);
    store.startSession(2, Clock::now());
    QCOMPARE(MachineManagement::setAllRates(store.db(), 2.5).value_or(0), 4);
    for (const Machine &m : MachineTable(store.db()).all())
        QCOMPARE(m.rate, 2.5);
    QCOMPARE(MachineTable(store.db()).byNumber(2)->status, MachineStatus::Billing);
    const QStringList before = tableDump(store.db());
    QVERIFY(!MachineManagement::setAllRates(store.db(), 0));
    QCOMPARE(tableDump(store.db()), before);
    QCOMPARE(allRatesQuestion(2.5), u"确实要将所有机器的记费标准改为：\n2.5 元/小时吗？"_qs);
}

QTEST_GUILESS_MAIN(MachineManagementTest)
#include "machinemanagement_test.moc"
