#include "link/connections.h"
#include "link/message.h"
#include "store/machinetable.h"
#include "store/webtables.h"
#include "support/linkfixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

class ConnectionsTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { f = std::make_unique<LinkFixture>(); }
    void cleanup() { f.reset(); }

    void listensOnAnEphemeralPort();
    void lowestFreeSlotIsReused();
    void closeSwitchesStandbyMachinesOff();
    void closeLeavesMachinesOfAnotherLiveConnection();
    void announceAndCloseAtOnce();
    void sendsToAMachinesConnection();
    void waitingMessagesKeepToTheirConnection();
    void framingOverTheWire();
    void listsPushedToEverySlot();
    void supervisionKeepsConnectedMachinesStandby();
    void portInUse();

private:
    std::unique_ptr<LinkFixture> f;
};

void ConnectionsTest::listensOnAnEphemeralPort()
{
    QVERIFY(f->server->isListening());
    QVERIFY(f->server->port() != 0);
    QCOMPARE(f->desk.link(), static_cast<ClientLink *>(f->server.get()));
    QCOMPARE(f->server->slotCount(), 1); // slot 0 exists from the start
    QVERIFY(!f->server->isConnected(0));
}

void ConnectionsTest::lowestFreeSlotIsReused()
{
    auto a = f->connect(u"127.0.0.2"_s);
    auto b = f->connect(u"127.0.0.3"_s);
    QCOMPARE(f->server->peerAddress(0), u"127.0.0.2"_s);
    QCOMPARE(f->server->peerAddress(1), u"127.0.0.3"_s);
    a->send(u"_sele"_s, {u"5"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->server->machineNumber(0) == 5; }));

    a->close();
    QVERIFY(QTest::qWaitFor([&] { return !f->server->isConnected(0); }));
    QCOMPARE(f->server->peerAddress(0), QString());
    QCOMPARE(f->server->recordedAddress(0), u"127.0.0.2"_s); // kept until the slot is reused

    auto c = f->connect(u"127.0.0.4"_s);
    QCOMPARE(f->server->peerAddress(0), u"127.0.0.4"_s);
    QCOMPARE(f->server->machineNumber(0), 0); // the new client has announced nothing
    auto d = f->connect(u"127.0.0.5"_s);
    QCOMPARE(f->server->slotCount(), 3);
    QCOMPARE(f->server->peerAddress(2), u"127.0.0.5"_s);
    auto e = f->connect(u"127.0.0.6"_s);
    QCOMPARE(f->server->slotCount(), 4);
    QCOMPARE(f->server->slotOf(u"127.0.0.6"_s), 3);
}

void ConnectionsTest::closeSwitchesStandbyMachinesOff()
{
    f->store.addMachine(1, 3, MachineStatus::Standby, u"127.0.0.2"_s);
    f->store.addMachine(2, 3, MachineStatus::Billing, u"127.0.0.2"_s);
    f->store.addMachine(3, 3, MachineStatus::Standby, u"127.0.0.2"_s);
    f->store.addMachine(4, 3, MachineStatus::Standby, u"127.0.0.3"_s);
    f->reload();
    auto a = f->connect(u"127.0.0.2"_s);
    auto b = f->connect(u"127.0.0.3"_s);
    a->close();
    // The pass that follows the close shows it.
    QVERIFY(QTest::qWaitFor([&] { return f->desk.machineList().at(1)->icon == IconOff; }));
    QCOMPARE(f->desk.machineList().at(3)->icon, IconOff);
    QCOMPARE(f->desk.machineList().at(4)->icon, IconStandby);
    MachineTable machines(f->store.db());
    QCOMPARE(machines.byNumber(1)->status, MachineStatus::Off);
    QCOMPARE(machines.byNumber(3)->status, MachineStatus::Off);
    QCOMPARE(machines.byNumber(2)->status, MachineStatus::Billing); // billing goes on without its client
    QCOMPARE(machines.byNumber(4)->status, MachineStatus::Standby);
}

void ConnectionsTest::closeLeavesMachinesOfAnotherLiveConnection()
{
    f->store.addMachine(1, 3, MachineStatus::Standby, u"127.0.0.2"_s);
    f->reload();
    auto a = f->connect(u"127.0.0.2"_s);
    auto b = f->connect(u"127.0.0.2"_s);
    a->close();
    QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 1; }));
    QTest::qWait(20);
    QCOMPARE(MachineTable(f->store.db()).byNumber(1)->status, MachineStatus::Standby);
    b->close();
    QVERIFY(QTest::qWaitFor(
        [&] { return MachineTable(f->store.db()).byNumber(1)->status == MachineStatus::Off; }));
}

void ConnectionsTest::announceAndCloseAtOnce()
{
    f->store.addMachine(1);
    f->reload();
    // The announcement and the close are written together; the close still comes last.
    auto a = f->connect(u"127.0.0.2"_s);
    a->send(u"_sele"_s, {u"1"_s});
    a->close();
    QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 0; }));
    f->server->flushPending();
    Machine m = *MachineTable(f->store.db()).byNumber(1);
    QCOMPARE(m.status, MachineStatus::Off);
    QCOMPARE(m.ip, u"127.0.0.2"_s);

    // The PC drops and comes back at once, announcing itself again: standby.
    auto b = f->announced(1, u"127.0.0.2"_s);
    QCOMPARE(MachineTable(f->store.db()).byNumber(1)->status, MachineStatus::Standby);
    b->close();
    QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 0; }));
    auto c = f->connect(u"127.0.0.2"_s);
    c->send(u"_sele"_s, {u"1"_s});
    QCOMPARE(f->probe(*c), bin("_gets\0good\0\0OK$"));
    f->server->flushPending();
    QCOMPARE(MachineTable(f->store.db()).byNumber(1)->status, MachineStatus::Standby);
}

void ConnectionsTest::sendsToAMachinesConnection()
{
    auto a = f->connect(u"127.0.0.2"_s);
    auto b = f->connect(u"127.0.0.2"_s);
    auto c = f->connect(u"127.0.0.3"_s);
    QVERIFY(f->server->hasConnection(u"127.0.0.2"_s));
    QVERIFY(!f->server->hasConnection(u"127.0.0.9"_s));
    QVERIFY(!f->server->hasConnection(QString()));

    f->server->SendCommand(u"127.0.0.2"_s, u"stop"_s);
    QVERIFY(a->waitFor(1));
    QCOMPARE(a->take(), bin("_comm\0stop\0OK$"));

    f->server->SendCommand(u"127.0.0.2"_s, u"shutdown"_s, ClientLink::Reach::Every);
    QVERIFY(a->waitFor(1));
    QVERIFY(b->waitFor(1));
    QCOMPARE(a->take(), bin("_comm\0shutdown\0OK$"));
    QCOMPARE(b->take(), bin("_comm\0shutdown\0OK$"));

    f->server->sendMessageBox(u"127.0.0.3"_s, u"你所定的时间已经到了，请到吧台去结帐！"_s);
    QVERIFY(c->waitFor(1));
    QCOMPARE(c->take(), bin("_msgb\0") + cp(u"你所定的时间已经到了，请到吧台去结帐！"_s) + bin("\0OK$"));

    f->server->SendCommand(u"127.0.0.9"_s, u"stop"_s); // nobody there: nothing, no harm
    QVERIFY(!f->server->sendToSlot(7, wire::command(u"stop"_s)));
    QTest::qWait(20);
    QVERIFY(a->messages.isEmpty() && b->messages.isEmpty() && c->messages.isEmpty());
}

// Messages waiting for their spacing leave in order, each to the connection it was sent to: not
// to a newcomer on the slot of a connection that closed meanwhile.
void ConnectionsTest::waitingMessagesKeepToTheirConnection()
{
    const auto numbered = [](const char *who, int n) {
        return wire::command(QString::fromLatin1(who) + QString::number(n));
    };
    auto a = f->connect(u"127.0.0.2"_s);
    auto b = f->connect(u"127.0.0.3"_s);
    const int slotA = f->server->slotOf(u"127.0.0.2"_s);
    const int slotB = f->server->slotOf(u"127.0.0.3"_s);
    for (int n = 1; n <= 4; ++n) {
        QVERIFY(f->server->sendToSlot(slotA, numbered("a", n)));
        QVERIFY(f->server->sendToSlot(slotB, numbered("b", n)));
    }
    QVERIFY(a->waitFor(1));
    a->close();
    QVERIFY(QTest::qWaitFor([&] { return !f->server->isConnected(slotA); }));
    auto c = f->connect(u"127.0.0.4"_s);
    QCOMPARE(f->server->slotOf(u"127.0.0.4"_s), slotA);
    QVERIFY(f->server->sendToSlot(slotA, numbered("c", 1)));
    QVERIFY(f->server->sendToSlot(slotA, numbered("c", 2)));

    QVERIFY(b->waitFor(4));
    QVERIFY(c->waitFor(2));
    QTest::qWait(3 * ConnectionSlots::kSpacing); // whatever was still waiting has had its turn
    QCOMPARE(b->messages,
             (QList<QByteArray>{numbered("b", 1), numbered("b", 2), numbered("b", 3), numbered("b", 4)}));
    QCOMPARE(c->messages, (QList<QByteArray>{numbered("c", 1), numbered("c", 2)}));
}

void ConnectionsTest::framingOverTheWire()
{
    auto c = f->connect();
    // Two requests closed with end marks in one write are two requests.
    c->sendBytes(bin("_gets\0good\0OK$_gets\0good\0OK$"));
    QVERIFY(c->waitFor(2));
    QCOMPARE(c->take(), bin("_gets\0good\0\0OK$"));
    QCOMPARE(c->take(), bin("_gets\0good\0\0OK$"));
    // A request that the network cut after another one is still one request.
    c->sendBytes(bin("_gets\0good\0OK$_gets\0go"));
    QVERIFY(c->waitFor(1));
    QTest::qWait(50);
    QCOMPARE(c->messages.size(), 1);
    c->sendBytes(bin("od\0OK$"));
    QVERIFY(c->waitFor(2));
    QCOMPARE(c->take(), bin("_gets\0good\0\0OK$"));
    QCOMPARE(c->take(), bin("_gets\0good\0\0OK$"));

    // A client without end marks: each arrival is one message.
    auto bare = f->connect();
    bare->sendBare(u"_gets"_s, {u"good"_s});
    QVERIFY(bare->waitFor(1));
    QCOMPARE(bare->take(), bin("_gets\0good\0\0OK$"));
}

void ConnectionsTest::listsPushedToEverySlot()
{
    QuickAddressTable(f->store.db()).add({0, u"新浪"_s, u"HTTP://www.sina.com.cn"_s});
    RestrictedSiteTable(f->store.db()).add({0, u"sex"_s});
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < 3; ++i)
        clients.push_back(f->connect());
    clients[1]->close();
    QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 2; }));

    f->server->pushHickHttp();
    f->server->pushQuickHttp();
    for (int i : {0, 2}) {
        QVERIFY(clients[size_t(i)]->waitFor(2));
        QCOMPARE(clients[size_t(i)]->take(), bin("_hick\0sex\0\0OK$"));
        QCOMPARE(clients[size_t(i)]->take(),
                 bin("_http\0") + cp(u"新浪"_s) + bin("\0HTTP://www.sina.com.cn\0\0OK$"));
    }

    // An edited list goes out as it is now.
    RestrictedSiteTable(f->store.db()).add({0, u"game"_s});
    f->server->SetHickHttp(0);
    QVERIFY(clients[0]->waitFor(1));
    QCOMPARE(clients[0]->take(), bin("_hick\0sex\0game\0\0OK$"));
}

void ConnectionsTest::supervisionKeepsConnectedMachinesStandby()
{
    f->store.addMachine(1);
    f->store.addMachine(2, 3, MachineStatus::Standby, u"127.0.0.7"_s);
    f->reload();
    auto c = f->announced(1, u"127.0.0.2"_s);
    f->desk.refresh();
    MachineTable machines(f->store.db());
    QCOMPARE(machines.byNumber(1)->status, MachineStatus::Standby);
    QCOMPARE(machines.byNumber(2)->status, MachineStatus::Off); // nobody at its address
}

void ConnectionsTest::portInUse()
{
    LinkFixture other;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"cannot listen on port"_s));
    LinkServer second(other.desk);
    QVERIFY(!second.listen(f->server->port()));
    QVERIFY(!second.isListening());
}

QTEST_MAIN(ConnectionsTest)
#include "connections_test.moc"
