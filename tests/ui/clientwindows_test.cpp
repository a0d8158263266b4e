// The client-control and web-list windows against a real link server on an ephemeral port.
#include "common/cp936.h"
#include "desk/frontdesk.h"
#include "link/linkserver.h"
#include "store/machinetable.h"
#include "store/webtables.h"
#include "support/testcommands.h"
#include "support/fakepresenter.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/link/clientcontroldialog.h"
#include "ui/widgets/messages.h"
#include "ui/link/programlistdialog.h"
#include "ui/manage/weblistdialogs.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray bytes(const char *text, qsizetype size)
{
    return QByteArray(text, size);
}
#define BIN(literal) bytes(literal, sizeof(literal) - 1)

// A café PC: the messages it received, split after each 0x00 "OK$".
struct Pc
{
    Pc(quint16 port, const QString &address)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this] {
            buffer += socket.readAll();
            for (qsizetype mark; (mark = buffer.indexOf(QByteArrayLiteral("\0OK$"))) >= 0;)
                received.append(buffer.left(mark + 4)), buffer.remove(0, mark + 4);
        });
        socket.bind(QHostAddress(address), 0);
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    void send(const QByteArray &message)
    {
        socket.write(message);
        socket.flush();
    }
    QTcpSocket socket;
    QByteArray buffer;
    QList<QByteArray> received;
};

struct Fixture
{
    Fixture()
    {
        store.addMachine(1, 3, MachineStatus::Standby, u"127.0.0.2"_s);
        store.addMachine(2, 3, MachineStatus::Standby, u"127.0.0.3"_s);
        store.addMachine(3, 3, MachineStatus::Billing, u"127.0.0.4"_s);
        if (!desk.open(store.path()))
            qFatal("cannot open the desk");
        desk.questions().setPresenter(&presenter);
        server = std::make_unique<LinkServer>(desk);
        desk.attach(*server);
        if (!server->listen(0))
            qFatal("cannot listen");
        for (const QString &address : {u"127.0.0.2"_s, u"127.0.0.3"_s, u"127.0.0.4"_s})
            pcs.push_back(std::make_unique<Pc>(server->port(), address));
        if (!QTest::qWaitFor([&] { return server->connectionCount() == 3; }))
            qFatal("the PCs did not connect");
    }
    ~Fixture()
    {
        pcs.clear();
        server.reset();
        desk.questions().setPresenter(nullptr);
    }
    ClientControl &control() { return server->control(); }
    // Every PC's messages so far, "host: message" (separators shown as "|").
    QStringList traffic(int settleMs = 3 * ControlSender::kSpacing)
    {
        QTest::qWait(settleMs);
        QStringList all;
        for (const auto &pc : pcs)
            for (QByteArray m : pc->received)
                all << pc->socket.localAddress().toString().section(u'.', 3) + u": "_s +
                           cp936::decode(m.replace('\0', '|'));
        return all;
    }

    TestStore store;
    TestCommands commands{store.db()};
    FrontDesk desk;
    FakePresenter presenter;
    std::unique_ptr<LinkServer> server;
    std::vector<std::unique_ptr<Pc>> pcs;
};

void choose(ClientControlDialog &dialog, const QString &target, const QString &command)
{
    child<QComboBox>(dialog, "targetChoice")->setCurrentText(target);
    auto *list = child<QListWidget>(dialog, "commandList");
    if (command.isEmpty())
        return list->clearSelection();
    list->setCurrentItem(list->findItems(command, Qt::MatchExactly).value(0));
}

} // namespace

class ClientWindowsTest final : public UiTest
{
    Q_OBJECT

public:
    ClientWindowsTest() : UiTest(QDateTime(QDate(2026, 3, 7), QTime(20, 0))) {}

private slots:
    void shutdownAsksBeyondTheSelectedPc_data();
    void shutdownAsksBeyondTheSelectedPc();
    void messageDialog();
    void startPageAskedPerPc();
    void programList();
    void quickAddresses();
    void restrictedSites();
};

void ClientWindowsTest::shutdownAsksBeyondTheSelectedPc_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("traffic");

    const QString askShutdown = u"确实要对所选计算机执行“关机”吗？"_s;
    QTest::newRow("standby, yes") << u"所有待机计算机"_s << u"关机"_s << QMessageBox::Yes
                                  << QStringList{askShutdown}
                                  << QStringList{u"2: _comm|shutdown|OK$"_s, u"3: _comm|shutdown|OK$"_s};
    QTest::newRow("standby, no") << u"所有待机计算机"_s << u"关机"_s << QMessageBox::No
                                 << QStringList{askShutdown} << QStringList();
    QTest::newRow("all, restart, no")
        << u"全部计算机"_s << u"重新启动"_s << QMessageBox::No
        << QStringList{u"确实要对所选计算机执行“重新启动”吗？"_s} << QStringList();
    QTest::newRow("selected: no question") << u"当前所选计算机"_s << u"关机"_s << QMessageBox::No
                                           << QStringList() << QStringList{u"4: _comm|shutdown|OK$"_s};
    QTest::newRow("no command chosen") << u"全部计算机"_s << QString() << QMessageBox::Yes
                                       << QStringList{u"not select list"_s} << QStringList();
}

void ClientWindowsTest::shutdownAsksBeyondTheSelectedPc()
{
    QFETCH(QString, target);
    QFETCH(QString, command);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, traffic);
    Fixture f;
    ClientControlDialog dialog(f.control(), MachineTable(f.store.db()).byNumber(3));
    choose(dialog, target, command);
    Messages::setNextAnswers({answer});
    click(dialog, "carryOut");
    QCOMPARE(Messages::takeShownTexts(), shown);
    QCOMPARE(f.traffic(), traffic);
}

void ClientWindowsTest::messageDialog()
{
    Fixture f;
    ClientControlDialog dialog(f.control(), MachineTable(f.store.db()).byNumber(1));
    choose(dialog, u"所有待机计算机"_s, u"设置桌面提示语言"_s);
    click(dialog, "carryOut");
    SendMessageDialog *message = dialog.messageDialog();
    QVERIFY(message && message->isVisible());
    QCOMPARE(message->windowTitle(), u"设置桌面提示语言"_s);

    click(*message, "send");
    QCOMPARE(Messages::takeShownTexts(), QStringList{u"所发的信息不能为空！"_s});
    QVERIFY(message->isVisible());
    child<QLineEdit>(*message, "messageText")->setText(u"欢迎"_s);
    click(*message, "send");
    QVERIFY(!message->isVisible());
    QCOMPARE(f.traffic(), (QStringList{u"2: _comm|settext|欢迎|OK$"_s, u"3: _comm|settext|欢迎|OK$"_s}));
}

void ClientWindowsTest::startPageAskedPerPc()
{
    Fixture f;
    ClientControlDialog dialog(f.control(), std::nullopt);
    choose(dialog, u"全部计算机"_s, u"设置IE首页"_s);
    // One answer per PC; an empty one sends nothing to that PC.
    Messages::setNextInputs({u"http://a"_s, QString(), u"http://c"_s});
    click(dialog, "carryOut");
    QCOMPARE(Messages::takeShownTexts(), QStringList(3, u"请输入新的IE首页"_s));
    const QStringList traffic = f.traffic();
    QCOMPARE(traffic.size(), 2);
    QVERIFY(traffic[0].startsWith(u"2: _ereg|"_s) && traffic[0].endsWith(u"|Start Page|1|http://a|OK$"_s));
    QVERIFY(traffic[1].startsWith(u"4: _ereg|"_s) && traffic[1].endsWith(u"|http://c|OK$"_s));
}

void ClientWindowsTest::programList()
{
    Fixture f;
    Pc &pc = *f.pcs[1];
    f.control().setProgramSlot(f.control().slotOf(*MachineTable(f.store.db()).byNumber(2)));
    ProgramListDialog dialog(f.control(), true);
    dialog.show();
    QVERIFY(QTest::qWaitFor([&] { return pc.received.size() == 1; }));
    QCOMPARE(pc.received.takeFirst(), BIN("_prog\0get\0OK$"));

    pc.send(BIN("_prog\0notepad\0"
                "1234\0qq\0"
                "99\0OK$"));
    auto *list = child<QListWidget>(dialog, "programList");
    QVERIFY(QTest::qWaitFor([&] { return list->count() == 2; }));
    QCOMPARE(list->item(0)->text(), u"notepad"_s);
    list->setCurrentRow(0);
    click(dialog, "endProgram");
    QVERIFY(QTest::qWaitFor([&] { return pc.received.size() == 2; }));
    QCOMPARE(pc.received, (QList<QByteArray>{BIN("_prog\0close\0"
                                                 "1234\0OK$"),
                                             BIN("_prog\0get\0OK$")}));
}

void ClientWindowsTest::quickAddresses()
{
    Fixture f;
    auto *dialog = new QuickAddressDialog(WebListService(f.store.db(), f.commands.runner, f.server.get()));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    auto *name = child<QLineEdit>(*dialog, "siteName");
    auto *address = child<QLineEdit>(*dialog, "siteAddress");
    QVERIFY(!child<QPushButton>(*dialog, "add")->isEnabled());
    QTest::keyClicks(name, u"x"_s);
    QTest::keyClicks(address, u"https://x"_s);
    click(*dialog, "add");
    QCOMPARE(Messages::takeShownTexts(), QStringList{u"网址错误！"_s});
    QVERIFY(QuickAddressTable(f.store.db()).all().isEmpty());
    address->setText(u"hTtP://x"_s);
    click(*dialog, "add");
    QCOMPARE(child<QListWidget>(*dialog, "siteList")->count(), 1);
    // The new entry is the chosen one: it can be deleted or changed at once.
    QCOMPARE(child<QListWidget>(*dialog, "siteList")->currentRow(), 0);
    QVERIFY(child<QPushButton>(*dialog, "remove")->isEnabled());

    // Deleting asks first, Cancel being the default.
    click(*dialog, "remove");
    QCOMPARE(Messages::takeShownTexts(), QStringList{u"确实要删除网站：x 吗？"_s});
    QCOMPARE(QuickAddressTable(f.store.db()).all().size(), 1);

    QVERIFY(f.traffic(0).isEmpty()); // the PCs hear of it when the dialog closes
    dialog->close();
    QCOMPARE(f.traffic(), (QStringList{u"2: _http|x|hTtP://x||OK$"_s, u"3: _http|x|hTtP://x||OK$"_s,
                                       u"4: _http|x|hTtP://x||OK$"_s}));
}

void ClientWindowsTest::restrictedSites()
{
    Fixture f;
    RestrictedSitesDialog dialog(WebListService(f.store.db(), f.commands.runner, f.server.get()));
    dialog.show();
    auto *add = child<QPushButton>(dialog, "add");
    QVERIFY(!add->isEnabled()); // an empty fragment would block every site
    QTest::keyClicks(child<QLineEdit>(dialog, "fragment"), u"game"_s);
    click(dialog, "add");
    QCOMPARE(child<QListWidget>(dialog, "fragmentList")->count(), 1);
    QVERIFY(!add->isEnabled());
    dialog.reject();
    QCOMPARE(f.traffic(),
             (QStringList{u"2: _hick|game||OK$"_s, u"3: _hick|game||OK$"_s, u"4: _hick|game||OK$"_s}));
}

QTEST_MAIN(ClientWindowsTest)
#include "clientwindows_test.moc"
