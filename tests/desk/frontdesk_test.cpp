#include "common/cp936.h"
#include "desk/frontdesk.h"
#include "link/linkserver.h"
#include "machines/machinemanagement.h"
#include "store/machinetable.h"
#include "support/teststore.h"

#include <QDir>
#include <QTcpSocket>
#include <QTest>
#include <memory>

namespace {

// A café PC's client, announced as machine `number`.
std::unique_ptr<QTcpSocket> announce(LinkServer &server, int number)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, server.port());
    if (!QTest::qWaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; }, 5000))
        qFatal("no connection");
    socket->write(cp936::encode(QStringLiteral("_sele")) + '\0' + QByteArray::number(number) +
                  QByteArrayLiteral("\0OK$"));
    return socket;
}

int slotAnnouncing(LinkServer &server, int number)
{
    for (int slot = 0; slot < server.slotCount(); ++slot)
        if (server.isConnected(slot) && server.machineNumber(slot) == number)
            return slot;
    return -1;
}

} // namespace

class FrontDeskTest : public QObject
{
    Q_OBJECT

private slots:
    void aNewStoreIsReportedOnce()
    {
        TestStore store; // creates dbase.mdb in its folder
        const QString fresh = store.dir() + QStringLiteral("/other/") + Store::fileName();
        QVERIFY(QDir().mkpath(store.dir() + QStringLiteral("/other")));
        {
            FrontDesk desk;
            QVERIFY(desk.open(fresh));
            QVERIFY(desk.storeCreated());
            QCOMPARE(desk.store().path(), fresh);
        }
        FrontDesk again;
        QVERIFY(again.open(fresh));
        QVERIFY(!again.storeCreated());
    }

    // 1号机 … 4号机; the PCs of 2, 3 and 4 are connected; machine 3 is selected and 2 deleted.
    void deletingAMachineRenumbersTheLinkAndKeepsTheSelection()
    {
        TestStore store;
        for (int n = 1; n <= 4; ++n)
            store.addMachine(n, 3, MachineStatus::Standby);
        FrontDesk desk;
        QVERIFY(desk.open(store.path()));
        LinkServer server(desk);
        desk.attach(server);
        QVERIFY(server.listen(0));
        auto pc2 = announce(server, 2);
        auto pc3 = announce(server, 3);
        auto pc4 = announce(server, 4);
        QVERIFY(QTest::qWaitFor(
            [&] {
                return slotAnnouncing(server, 4) >= 0 && slotAnnouncing(server, 3) >= 0 &&
                       slotAnnouncing(server, 2) >= 0;
            },
            5000));
        const int slot2 = slotAnnouncing(server, 2);
        const int slot3 = slotAnnouncing(server, 3);
        const int slot4 = slotAnnouncing(server, 4);
        desk.select(3);

        const std::optional<Machine> second = MachineTable(desk.db()).at(2);
        QVERIFY(second);
        const Result<MachineManagement::Removal> removed =
            MachineManagement::remove(desk.db(), second->rowid);
        QVERIFY(removed);
        desk.machineRemoved(*removed);

        QCOMPARE(server.machineNumber(slot2), 0);
        QCOMPARE(server.machineNumber(slot3), 2);
        QCOMPARE(server.machineNumber(slot4), 3);
        QCOMPARE(desk.machineList().count(), 3);
        QCOMPARE(desk.selected(), 2); // the old machine 3
        QCOMPARE(desk.selectedMachine()->name, QStringLiteral("2号机"));
    }

    void addingAMachineKeepsTheSelection()
    {
        TestStore store;
        store.addMachine(1);
        store.addMachine(2);
        FrontDesk desk;
        QVERIFY(desk.open(store.path()));
        desk.select(2);
        store.addMachine(3);
        desk.machinesChanged();
        QCOMPARE(desk.machineList().count(), 3);
        QCOMPARE(desk.selected(), 2);
    }
};

QTEST_GUILESS_MAIN(FrontDeskTest)
#include "frontdesk_test.moc"
