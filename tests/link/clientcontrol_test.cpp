// The operator's control commands over real sockets: who a target choice reaches, what goes
// on the wire, that commands never reach a later client on a reused slot, and that messages
// sent in a row arrive one per read.
#include "link/clientcontrol.h"
#include "store/machinetable.h"
#include "support/linkfixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using control::SlotRef;
using control::Target;

namespace {

const QByteArray kPause = bin("_comm\0pause\0OK$");

QString ipOf(int host)
{
    return u"127.0.0.%1"_s.arg(host);
}

// A client that keeps every read apart, to see how messages were cut on the wire.
struct RawClient
{
    explicit RawClient(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket,
                         [this] { reads.append(socket.readAll()); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    int messageCount() const { return int(reads.join().count(QByteArrayLiteral("\0OK$"))); }
    QTcpSocket socket;
    QList<QByteArray> reads;
};

} // namespace

class ClientControlTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { f = std::make_unique<LinkFixture>(); }
    void cleanup() { f.reset(); }

    void targets_data();
    void targets();
    void wireBytes_data();
    void wireBytes();
    void reusedSlotReceivesNothing();
    void messagesInARowArriveOneByOne();
    void programListFollowsItsSender();

private:
    ClientControl &control() { return f->server->control(); }
    std::unique_ptr<LinkFixture> f;
};

void ClientControlTest::targets_data()
{
    QTest::addColumn<Target>("target");
    QTest::addColumn<QList<int>>("reached"); // hosts of the clients that get the command

    // Machines: 1 standby (.2, connected), 2 standby (.3, no client), 3 billing (.4),
    // 4 paused (.5); client .6 belongs to no machine; client .7 has gone, leaving its slot free.
    QTest::newRow("selected (machine 3)") << Target::Selected << QList<int>{4};
    QTest::newRow("standby skips a machine without client") << Target::Standby << QList<int>{2};
    QTest::newRow("billing") << Target::Billing << QList<int>{4};
    QTest::newRow("paused") << Target::Paused << QList<int>{5};
    QTest::newRow("all: connected slots only") << Target::All << QList<int>{2, 4, 5, 6};
}

void ClientControlTest::targets()
{
    QFETCH(Target, target);
    QFETCH(QList<int>, reached);

    f->store.addMachine(1, 3, MachineStatus::Standby, ipOf(2));
    f->store.addMachine(2, 3, MachineStatus::Standby, ipOf(3));
    const Machine billing = f->store.addMachine(3, 3, MachineStatus::Billing, ipOf(4));
    f->store.addMachine(4, 3, MachineStatus::Paused, ipOf(5));
    f->reload();

    std::map<int, std::unique_ptr<TestClient>> clients;
    for (int host : {2, 7, 4, 5, 6})
        clients[host] = f->connect(ipOf(host));
    // Slot 1 (.7) closes: "all" must skip it, not stop at it.
    clients[7]->close();
    clients.erase(7);
    QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 4; }));
    QVERIFY(!f->server->isConnected(1));

    const QList<SlotRef> targets = control().targets(target, billing);
    QCOMPARE(control().carryOut(*control::commandByText(u"暂停"_s), targets), int(reached.size()));
    for (auto &[host, client] : clients) {
        if (reached.contains(host)) {
            QVERIFY2(client->waitFor(1), qPrintable(ipOf(host)));
            QCOMPARE(client->take(), kPause);
        }
        // Nothing (else) came before the answer to a probe.
        QVERIFY2(f->probe(*client).startsWith("_gets"), qPrintable(ipOf(host)));
    }
}

void ClientControlTest::wireBytes_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("bytes"); // every message of the command, in order

    const auto policies = [](const char *key) {
        return "&H80000001\0Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\"_ba + key;
    };
    const auto ereg = [](const QByteArray &path, const char *name, const char *data, const char *type = "4") {
        return "_ereg\0"_ba + path + '\0' + name + '\0' + type + '\0' + data + "\0OK$"_ba;
    };
    const QByteArray system = policies("System");
    QTest::newRow("shut down") << u"关机"_s << bin("_comm\0shutdown\0OK$");
    QTest::newRow("restart") << u"重新启动"_s << bin("_comm\0reset\0OK$");
    QTest::newRow("pause") << u"暂停"_s << kPause;
    QTest::newRow("registry editor") << u"禁用注册表编辑器"_s << ereg(system, "DisableRegistryTools", "1");
    QTest::newRow("drives: data as text") << u"屏蔽硬盘"_s << ereg(policies("Explorer"), "NoDrives", "&H1D");
    QTest::newRow("MS-DOS: two messages")
        << u"允许MS-DOS方式"_s
        << ereg(policies("WinOldApp"), "NoRealMode", "0") + ereg(policies("WinOldApp"), "Disabled", "0");
    QTest::newRow("network") << u"禁止设置网络"_s << ereg(policies("Network"), "NoNetSetup", "1");
    QTest::newRow("system settings: four in order")
        << u"允许系统设置"_s
        << ereg(system, "NoDevMgrPage", "0") + ereg(system, "NoConfigPage", "0") +
               ereg(system, "NoFileSysPage", "0") + ereg(system, "NoVirtMemPage", "0");
    // Not commands of the list, but what the operator's answers to them send.
    QTest::newRow("start page") << u"<start page>"_s
                                << ereg("&H80000001\0Software\\Microsoft\\Internet Explorer\\Main"_ba,
                                        "Start Page", "http://www.163.com", "1");
    QTest::newRow("message") << u"<message>"_s << bin("_msgb\0") + cp(u"请到前台续费"_s) + bin("\0OK$");
    QTest::newRow("desktop text") << u"<desktop text>"_s
                                  << bin("_comm\0settext\0") + cp(u"欢迎光临"_s) + bin("\0OK$");
}

void ClientControlTest::wireBytes()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, bytes);
    const Machine m = f->store.addMachine(1, 3, MachineStatus::Standby, ipOf(2));
    f->reload();
    auto client = f->connect(ipOf(2));
    const QList<SlotRef> target = control().targets(Target::Selected, m);
    QCOMPARE(target.size(), 1);

    if (command == u"<start page>")
        QVERIFY(control().sendStartPage(target.first(), u"http://www.163.com"_s));
    else if (command == u"<message>")
        QCOMPARE(control().sendText(ClientControl::TextMode::Message, u"请到前台续费"_s, target), 1);
    else if (command == u"<desktop text>")
        QCOMPARE(control().sendText(ClientControl::TextMode::DesktopText, u"欢迎光临"_s, target), 1);
    else
        QCOMPARE(control().carryOut(*control::commandByText(command), target), 1);

    const int count = int(bytes.count(QByteArrayLiteral("\0OK$")));
    QVERIFY(client->waitFor(count));
    QCOMPARE(client->messages.join(), bytes);
}

void ClientControlTest::reusedSlotReceivesNothing()
{
    const Machine m = f->store.addMachine(1, 3, MachineStatus::Standby, ipOf(2));
    f->reload();
    auto first = f->connect(ipOf(2));
    const SlotRef remembered = control().slotOf(m);
    QCOMPARE(remembered.slot, 0);
    control().setProgramSlot(remembered);

    // A four-message command is under way when its client goes.
    QCOMPARE(control().carryOut(*control::commandByText(u"禁止系统设置"_s), {remembered}), 1);
    QVERIFY(first->waitFor(1));
    first->close();
    QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 0; }));
    auto second = f->connect(ipOf(3));
    QVERIFY(f->server->isConnected(0));

    QVERIFY(!control().isReachable(remembered));
    QCOMPARE(control().carryOut(*control::commandByText(u"关机"_s), {remembered}), 0);
    QVERIFY(!control().sendStartPage(remembered, u"http://x"_s));
    QVERIFY(!control().requestPrograms());
    QCOMPARE(*control().sendText(ClientControl::TextMode::Message, u"hi"_s, {remembered}), 0);
    // Longer than the rest of the first client's command would have taken.
    QTest::qWait(4 * ControlSender::kSpacing);
    QCOMPARE(f->probe(*second), bin("_gets\0good\0\0OK$"));
    QVERIFY(second->messages.isEmpty());
}

void ClientControlTest::messagesInARowArriveOneByOne()
{
    const Machine m = f->store.addMachine(1, 3, MachineStatus::Standby, ipOf(1));
    f->reload();
    RawClient client(f->server->port());
    QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 1; }));
    const QList<SlotRef> target = control().targets(Target::Selected, m);

    control().carryOut(*control::commandByText(u"禁止系统设置"_s), target);
    // A second command right after the first waits its turn behind it.
    control().carryOut(*control::commandByText(u"暂停"_s), target);
    QVERIFY(QTest::qWaitFor([&] { return client.messageCount() == 5; }));
    QCOMPARE(client.reads.size(), 5);
    const char *names[] = {"NoDevMgrPage", "NoConfigPage", "NoFileSysPage", "NoVirtMemPage"};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(client.reads[i].startsWith("_ereg") && client.reads[i].contains(names[i]),
                 client.reads[i].constData());
    QCOMPARE(client.reads[4], kPause);
}

void ClientControlTest::programListFollowsItsSender()
{
    const Machine m = f->store.addMachine(1, 3, MachineStatus::Standby, ipOf(2));
    f->reload();
    auto watched = f->connect(ipOf(2));
    auto other = f->connect(ipOf(3));
    control().setProgramSlot(control().slotOf(m));
    QVERIFY(control().requestPrograms());
    QVERIFY(watched->waitFor(1));
    QCOMPARE(watched->take(), bin("_prog\0get\0OK$"));

    // Another PC answers: its programs show, and it becomes the PC the list is about.
    QSignalSpy changed(&control(), &ClientControl::programsChanged);
    other->send(u"_prog"_s, {u"无标题 - 记事本"_s, u"1234"_s, u"QQ"_s, u"77.5"_s, u"没有编号"_s});
    QVERIFY(changed.wait());
    QCOMPARE(control().programSlot().slot, 1);
    QCOMPARE(control().programs().size(), 3);
    QCOMPARE(control().programs()[0].title, u"无标题 - 记事本"_s);
    QCOMPARE(control().programs()[0].number, 1234);
    QCOMPARE(control().programs()[1].number, 78); // halves to the even neighbour
    QCOMPARE(control().programs()[2].number, 0);  // a title without a number

    QVERIFY(control().endProgram(0));
    QVERIFY(other->waitFor(2));
    QCOMPARE(other->take(), bin("_prog\0close\0"
                                "1234\0OK$"));
    QCOMPARE(other->take(), bin("_prog\0get\0OK$"));
    // Without a chosen program only the list is asked for again.
    QVERIFY(control().endProgram(-1));
    QVERIFY(other->waitFor(1));
    QCOMPARE(other->take(), bin("_prog\0get\0OK$"));
    QCOMPARE(f->probe(*watched), bin("_gets\0good\0\0OK$"));
}

QTEST_GUILESS_MAIN(ClientControlTest)
#include "clientcontrol_test.moc"
