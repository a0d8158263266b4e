// The link under attack and under a rush: framing of clients without end marks, goods orders
// that cannot be meant, vanished PCs, and questions whose PC has gone.
#include "common/clock.h"
#include "common/loglimit.h"
#include "link/message.h"
#include "link/requests.h"
#include "store/accounttables.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "support/linkfixture.h"

#include <QSignalSpy>
#include <QTest>
#include <linux/filter.h>
#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace {

const QString kClient1 = u"127.0.0.2"_s;
const QString kClient2 = u"127.0.0.3"_s;

MachineStatus statusOf(Database &db, int number)
{
    return MachineTable(db).byNumber(number)->status;
}

// The client's kernel drops everything that arrives for it: to the server it is a PC whose
// cable was pulled.
bool pullTheCable(TestClient &client)
{
    sock_filter dropAll[] = {{BPF_RET | BPF_K, 0, 0, 0}};
    sock_fprog program{1, dropAll};
    return setsockopt(int(client.socket().socketDescriptor()), SOL_SOCKET, SO_ATTACH_FILTER, &program,
                      sizeof program) == 0;
}

// A goods order of `count` items of article 00000001, `quantity` each.
QStringList order(int count, const QString &quantity)
{
    QStringList fields;
    for (int i = 0; i < count; ++i)
        fields << u"00000001"_s << u"可乐"_s << quantity;
    return fields;
}

} // namespace

class HardeningTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void trailerlessClientAfterChatWithEndMarkText();
    void goodsQuantitiesMustBeWhole_data();
    void goodsQuantitiesMustBeWhole();
    void longOrders_data();
    void longOrders();
    void deadPeerIsClosedByKeepalive();
    void billingMachineWhoseClientLeftIsReported();

    void guessesAreLoggedWithoutPasswords();

    void questionOfAGoneClient_data();
    void questionOfAGoneClient();
    void fullQueueRefusesAtOnce();

private:
    std::unique_ptr<LinkFixture> f;
};

void HardeningTest::init()
{
    Clock::fix(QDateTime(QDate(2002, 3, 14), QTime(12, 5, 0)));
    f = std::make_unique<LinkFixture>();
}

void HardeningTest::cleanup()
{
    f.reset();
    Clock::release();
}

void HardeningTest::trailerlessClientAfterChatWithEndMarkText()
{
    CardTable(f->store.db()).add({0, u"C1"_s, 100, 10, u"pw"_s, {}, 0, 0, 50});
    auto c = f->connect(kClient1);
    auto other = f->connect(kClient2);
    // A client that closes nothing with the end mark chats a text that starts with "OK$".
    c->sendBare(u"_talk"_s, {u"talk"_s, u"小王"_s, u"OK$ thanks"_s});
    // Relayed, the text would end the message for the PCs that read it: it ends there.
    QVERIFY(other->waitFor(1));
    QCOMPARE(other->take(), bin("_talk\0talk\0") + cp(u"小王"_s) + bin("\0OK$"));
    QVERIFY(c->waitFor(1));
    c->messages.clear();
    // Its next request, again without an end mark, is still answered.
    c->sendBare(u"_gets"_s, {u"card"_s, u"C1"_s, u"pw"_s});
    QVERIFY(c->waitFor(1));
    QVERIFY(c->take().contains(cp(u"你要查的卡号是：C1"_s)));
}

void HardeningTest::goodsQuantitiesMustBeWhole_data()
{
    QTest::addColumn<QString>("quantity");
    for (const char *q : {"-5", "0", "2.5", "1e3", "1000", "3个", " 3", ""})
        QTest::newRow(q) << QString::fromUtf8(q);
}

void HardeningTest::goodsQuantitiesMustBeWhole()
{
    QFETCH(QString, quantity);
    f->store.addMachine(1, 3, MachineStatus::Billing, kClient1);
    f->store.addArticle(u"00000001"_s, u"可乐"_s, 3, 20);
    f->store.addArticle(u"00000002"_s, u"面"_s, 2, 20);
    f->reload();
    auto c = f->connect(kClient1);

    // Alone or beside a good item, the PC is told and nothing of the order is asked or booked.
    const QByteArray told = wire::messageBox(u"商品数量只能是1到999的整数！"_s);
    const QStringList before = tableDump(f->store.db());
    c->send(u"_good"_s, {u"00000001"_s, u"可乐"_s, quantity});
    QVERIFY(c->waitFor(1));
    QCOMPARE(c->take(), told);
    c->send(u"_good"_s, {u"00000002"_s, u"面"_s, u"999"_s, u"00000001"_s, u"可乐"_s, quantity});
    QVERIFY(c->waitFor(1));
    QCOMPARE(c->take(), told);
    QVERIFY(f->probe(*c).startsWith("_gets"));
    QVERIFY(f->presenter.asked.isEmpty());
    QCOMPARE(tableDump(f->store.db()), before);
}

void HardeningTest::longOrders_data()
{
    QTest::addColumn<int>("items");
    QTest::addColumn<bool>("asked");
    QTest::newRow("50 items") << 50 << true;
    QTest::newRow("51 items") << 51 << false;
    QTest::newRow("3,334 items") << 3334 << false;
}

void HardeningTest::longOrders()
{
    QFETCH(int, items);
    QFETCH(bool, asked);
    f->store.addMachine(1, 3, MachineStatus::Billing, kClient1);
    f->store.addArticle(u"00000001"_s, u"可乐"_s, 3, 100);
    f->reload();
    auto c = f->connect(kClient1);
    c->send(u"_good"_s, order(items, u"1"_s));
    QVERIFY(f->probe(*c).startsWith("_gets"));
    QCOMPARE(f->presenter.asked.size(), asked ? 1 : 0);
    if (!asked)
        return;
    // The operator sees every item, and exactly those are booked.
    const QStringList lines = f->presenter.asked.last().text.split(u"\r\n"_s, Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + 50);
    QVERIFY(lines.last().contains(u"剩余库存：50"_s));
    f->presenter.answer(Answer::Yes);
    QVERIFY(c->waitFor(1));
    QCOMPARE(ArticleTable(f->store.db()).byNumber(u"00000001"_s)->stock, 50.0);
}

void HardeningTest::deadPeerIsClosedByKeepalive()
{
    f->server->setKeepAlive({1, 1, 2});
    f->store.addMachine(1);
    f->reload();
    auto c = f->announced(1, kClient1);
    QTRY_COMPARE(statusOf(f->desk.db(), 1), MachineStatus::Standby);
    QVERIFY(pullTheCable(*c));
    // Found dead after about idle + interval × probes = 3 s; the standby machine turns off.
    QTRY_COMPARE_WITH_TIMEOUT(f->server->connectionCount(), 0, 15000);
    QTRY_COMPARE(statusOf(f->desk.db(), 1), MachineStatus::Off);
}

void HardeningTest::billingMachineWhoseClientLeftIsReported()
{
    f->store.addMachine(1);
    f->store.addMachine(2, 3, MachineStatus::Billing, kClient1);
    f->reload();
    QSignalSpy gone(f->server.get(), &LinkServer::clientGone);
    auto c = f->announced(2, kClient1);
    auto second = f->connect(kClient1);
    c->close();
    QTest::qWait(3 * RequestHandler::kPassInterval);
    QVERIFY(gone.isEmpty()); // another connection of that PC is still there
    second->close();
    QTRY_COMPARE(gone.size(), 1);
    QCOMPARE(gone.at(0), (QVariantList{2, true}));
    QVERIFY(f->server->isClientGone(kClient1));
    QCOMPARE(statusOf(f->desk.db(), 2), MachineStatus::Billing);
    // The desk marks the entry, also when the list is built anew.
    QVERIFY(f->desk.machineList().at(2)->clientGone);
    f->desk.rebuildList();
    QVERIFY(f->desk.machineList().at(2)->clientGone);
    QVERIFY(!f->desk.machineList().at(1)->clientGone);

    auto back = f->announced(2, kClient1);
    QTRY_COMPARE(gone.size(), 2);
    QCOMPARE(gone.at(1), (QVariantList{2, false}));
    QVERIFY(!f->server->isClientGone(kClient1));
    QVERIFY(!f->desk.machineList().at(2)->clientGone);
}

QStringList g_log;

void HardeningTest::guessesAreLoggedWithoutPasswords()
{
    CardTable(f->store.db()).add({0, u"C9"_s, 100, 10, u"right"_s, {}, 0, 0, 50});
    auto c = f->connect(kClient1);
    g_log.clear();
    LogLimit::shared().clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { g_log << text; });
    for (int i = 1; i <= 7; ++i) {
        c->send(u"_gets"_s, {u"card"_s, u"C9"_s, u"guess-%1"_s.arg(i)});
        QVERIFY(c->waitFor(1));
        c->take();
    }
    qInstallMessageHandler(previous);
    // Refused and throttled checks are logged with the address and the card, never with what
    // was typed; once a minute each, a PC guessing on cannot fill the disk.
    QCOMPARE(g_log.filter(u"guess-"_s), QStringList());
    QCOMPARE(g_log.filter(kClient1).filter(u"C9"_s).size(), 2);
    QCOMPARE(g_log.filter(u"refused unevaluated"_s).filter(u"C9"_s).size(), 1);
}

void HardeningTest::questionOfAGoneClient_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<bool>("shown");
    const QStringList goods{u"00000001"_s, u"可乐"_s, u"2"_s};
    QTest::newRow("open machine, gone while waiting") << u"_comm"_s << QStringList{u"start"_s} << false;
    QTest::newRow("goods, gone while waiting") << u"_good"_s << goods << false;
    QTest::newRow("open machine, gone while shown") << u"_comm"_s << QStringList{u"start"_s} << true;
    QTest::newRow("goods, gone while shown") << u"_good"_s << goods << true;
}

void HardeningTest::questionOfAGoneClient()
{
    QFETCH(QString, tag);
    QFETCH(QStringList, fields);
    QFETCH(bool, shown);
    // Goods are ordered only for a session that runs.
    const bool goods = tag == u"_good";
    f->store.addMachine(1, 3, MachineStatus::Standby, kClient1);
    f->store.addMachine(2, 3, goods ? MachineStatus::Billing : MachineStatus::Standby, kClient2);
    f->store.addArticle(u"00000001"_s, u"可乐"_s, 3, 20);
    f->reload();
    auto first = f->connect(kClient1);
    auto c = f->connect(kClient2);
    if (!shown) { // another client's question is in front
        first->send(u"_comm"_s, {u"start"_s});
        QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
    }
    c->send(tag, fields);
    QVERIFY(f->probe(*c).startsWith("_gets"));
    QCOMPARE(f->desk.questions().pending(), shown ? 1 : 2);

    c->close();
    QTRY_COMPARE(f->desk.questions().pending(), shown ? 0 : 1);
    // The operator's click on the box that was taken away, or on the one in front, books
    // nothing for the client that left.
    f->presenter.answer(shown ? Answer::Yes : Answer::No);
    QTest::qWait(3 * RequestHandler::kPassInterval);
    QCOMPARE(f->presenter.asked.size(), 1);
    QCOMPARE(f->desk.questions().pending(), 0);
    // Closed, not started (a session keeps billing without its PC).
    QCOMPARE(statusOf(f->desk.db(), 2), goods ? MachineStatus::Billing : MachineStatus::Off);
    QVERIFY(OrderTable(f->store.db()).linesOf(2).isEmpty());
    QCOMPARE(ArticleTable(f->store.db()).byNumber(u"00000001"_s)->stock, 20.0);
    QCOMPARE(statusOf(f->desk.db(), 1), MachineStatus::Standby);
}

void HardeningTest::fullQueueRefusesAtOnce()
{
    const int clients = RequestHandler::kMaxQueued + 2; // one shown, 20 waiting, one too many
    std::vector<std::unique_ptr<TestClient>> pcs;
    for (int i = 0; i < clients; ++i)
        f->store.addMachine(i + 1, 3, MachineStatus::Standby, u"127.0.1.%1"_s.arg(i + 1));
    f->reload();
    for (int i = 0; i < clients; ++i) {
        pcs.push_back(f->connect(u"127.0.1.%1"_s.arg(i + 1)));
        pcs.back()->send(u"_comm"_s, {u"start"_s});
        QVERIFY(f->probe(*pcs.back()).startsWith("_gets"));
    }
    QCOMPARE(f->desk.questions().waiting(), RequestHandler::kMaxQueued);
    QCOMPARE(f->desk.questions().pending(), RequestHandler::kMaxQueued + 1);
    // The last one heard nothing, as after a time-out, and is not asked later either.
    QVERIFY(pcs.back()->messages.isEmpty());
    for (int i = 0; i <= RequestHandler::kMaxQueued; ++i) {
        QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
        QVERIFY(f->presenter.timeOut());
    }
    QTest::qWait(50);
    QCOMPARE(f->presenter.asked.size(), RequestHandler::kMaxQueued + 1);
    QVERIFY(!f->presenter.asked.last().text.startsWith(u"%1号机"_s.arg(clients)));
    QCOMPARE(statusOf(f->desk.db(), clients), MachineStatus::Standby);
}

QTEST_MAIN(HardeningTest)
#include "hardening_test.moc"
