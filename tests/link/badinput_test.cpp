// Whatever a client sends, the server keeps answering and the store only changes as asked.
#include "link/message.h"
#include "store/accounttables.h"
#include "store/machinetable.h"
#include "support/linkfixture.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kMachineIp = u"127.0.0.2"_s;

QByteArray fields(const QByteArray &tag, int count, const QByteArray &field)
{
    QByteArray bytes = tag;
    for (int i = 0; i < count; ++i)
        bytes += '\0' + field;
    return bytes;
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

} // namespace

class BadInputTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void junk_data();
    void junk();
    void hugeGoodsOrderIsRefused();
    void oversizedJunkWithoutEndMark();
    void thousandConnectionsDroppedAtOnce();
    void clientThatNeverReads();

private:
    // The goods list must come back exactly; lists due from announcements are skipped and
    // questions asked meanwhile are refused.
    bool answersCorrectly(TestClient &client);

    std::unique_ptr<LinkFixture> f;
    std::unique_ptr<TestClient> client;
    QByteArray m_goodsList;
};

void BadInputTest::init()
{
    f = std::make_unique<LinkFixture>();
    f->store.addMachine(1, 3, MachineStatus::Standby, kMachineIp);
    f->store.addMachine(2, 3, MachineStatus::Billing, u"127.0.0.3"_s);
    f->store.addArticle(u"00000001"_s, u"可乐"_s, 3, 10);
    CardTable(f->store.db()).add({0, u"C1"_s, 100, 10, u"pw"_s, {}, 0, 0, 50});
    Operator op;
    op.name = u"老李"_s;
    op.password = u"c"_s;
    op.right = u"C"_s;
    OperatorTable(f->store.db()).add(op);
    f->reload();
    client = f->connect(kMachineIp);
    m_goodsList = bin("_gets\0good\0"
                      "00000001\0") +
                  cp(u"可乐"_s) +
                  bin("\0"
                      "3\0\0OK$");
}

void BadInputTest::cleanup()
{
    client.reset();
    f.reset();
}

bool BadInputTest::answersCorrectly(TestClient &c)
{
    // Junk without an end mark may reach the server together with the first request and
    // take it along; the request after that must be answered.
    c.messages.clear();
    bool answered = false;
    for (int attempt = 0; attempt < 3 && !answered; ++attempt) {
        c.send(u"_gets"_s, {u"good"_s});
        answered = QTest::qWaitFor(
            [&] {
                while (f->presenter.isAsking())
                    f->presenter.answer(Answer::No);
                for (const QByteArray &m : std::as_const(c.messages))
                    if (m.startsWith("_gets"))
                        return true;
                return false;
            },
            1500);
    }
    if (!answered)
        return false;
    for (const QByteArray &m : std::as_const(c.messages))
        if (m.startsWith("_gets"))
            return m == m_goodsList;
    return false;
}

void BadInputTest::junk_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty message") << bin("\0OK$");
    QTest::newRow("separators only") << QByteArray(100, '\0');
    for (const char *tag :
         {"_talk", "_comm", "_good", "_gets", "_vali", "_sele", "_prog", "_ereg", "_sets", "_xxxx"})
        QTest::newRow(tag) << QByteArray(tag);
    QTest::newRow("tags, end-marked") << bin("_comm\0OK$_good\0OK$_vali\0OK$_talk\0OK$_sele\0OK$");
    QTest::newRow("short tag") << QByteArray("_g");
    QTest::newRow("random bytes") << randomBytes(10000, 1);
    QTest::newRow("random bytes after a tag") << QByteArray("_good") + randomBytes(3000, 2);
    QTest::newRow("invalid CP936 goods") << bin("_good\0\x81\0\xff\xfe\0\x83\0\x80\x80\x80");
    QTest::newRow("invalid CP936 chat") << bin("_talk\0talk\0\xff\0\x81");
    QTest::newRow("invalid CP936 card") << bin("_gets\0card\0\x81\x30\0\xfe");
    QTest::newRow("unknown machine number") << bin("_sele\0"
                                                   "99999999999999999999999999");
    QTest::newRow("negative machine number") << bin("_sele\0-1");
    QTest::newRow("1 MiB of junk, end-marked")
        << randomBytes(1 << 20, 3).replace(bin("\0OK$"), "x") + bin("\0OK$");
    QTest::newRow("10,000 goods fields") << fields("_good", 10000, "1"); // 3,334 items, refused
    QTest::newRow("10,000 chat fields") << fields(bin("_talk\0talk"), 10000, "A");
    QTest::newRow("10,000 query fields") << fields(bin("_gets\0time"), 10000, "x");
    QTest::newRow("10,000 leave fields") << fields("_vali", 10000, "x");
    QTest::newRow("10,000 announcement fields") << fields(bin("_sele\0"
                                                              "999"),
                                                          10000, "1");
    QTest::newRow("10,000 program fields") << fields("_prog", 10000, "p");
    QTest::newRow("over-long goods order") << fields("_good", 10000, "00000001"); // dropped whole
    QTest::newRow("start with surplus fields") << fields(bin("_comm\0stop"), 10, "start");
}

void BadInputTest::junk()
{
    QFETCH(QByteArray, bytes);
    const QStringList before = tableDump(f->store.db());
    client->sendBytes(bytes);
    QTest::qWait(50);
    QVERIFY(answersCorrectly(*client));
    QTest::qWait(20);
    QCOMPARE(tableDump(f->store.db()), before);
    QVERIFY(client->isConnected());
    // Another client is served as well.
    auto other = f->connect(u"127.0.0.3"_s);
    QVERIFY(answersCorrectly(*other));
}

void BadInputTest::hugeGoodsOrderIsRefused()
{
    const QStringList before = tableDump(f->store.db());
    client->sendBytes(fields("_good", 10000, "1") + bin("\0OK$"));
    QVERIFY(answersCorrectly(*client));
    QVERIFY(f->presenter.asked.isEmpty());
    QCOMPARE(tableDump(f->store.db()), before);
}

void BadInputTest::oversizedJunkWithoutEndMark()
{
    const QStringList before = tableDump(f->store.db());
    client->sendBytes(randomBytes(1 << 20, 4).replace(bin("\0OK$"), "x"));
    // The requests that follow the junk on the same connection run into it until the junk
    // has ended; then they are answered again.
    bool answered = false;
    for (int attempt = 0; attempt < 10 && !answered; ++attempt) {
        client->messages.clear();
        client->send(u"_gets"_s, {u"good"_s});
        answered = client->waitFor(1, 500) && client->messages.first() == m_goodsList;
    }
    QVERIFY(answered);
    auto other = f->connect(u"127.0.0.3"_s);
    QVERIFY(answersCorrectly(*other));
    QCOMPARE(tableDump(f->store.db()), before);
}

void BadInputTest::thousandConnectionsDroppedAtOnce()
{
    const QStringList before = tableDump(f->store.db());
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < 1000; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(QHostAddress::LocalHost, f->server->port());
    }
    QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 1001; }, 30000));
    for (auto &s : sockets)
        s->abort();
    QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 1; }, 30000));
    QVERIFY(f->server->slotCount() >= 1001);
    QVERIFY(answersCorrectly(*client));
    QTest::qWait(1200); // any announcement waits have run out
    QCOMPARE(tableDump(f->store.db()), before);
    QCOMPARE(MachineTable(f->store.db()).byNumber(1)->status, MachineStatus::Standby);
}

void BadInputTest::clientThatNeverReads()
{
    for (int i = 2; i <= 200; ++i)
        f->store.addArticle(QString::number(i).rightJustified(8, u'0'), u"商品名称"_s + QString::number(i),
                            2);
    QTcpSocket idle;
    idle.setReadBufferSize(1); // takes nothing from the kernel once a byte is waiting
    idle.connectToHost(QHostAddress::LocalHost, f->server->port());
    QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 2; }));
    const int slot = f->server->slotOf(u"127.0.0.1"_s);
    QVERIFY(slot >= 0);
    QByteArray requests;
    for (int i = 0; i < 3000; ++i) // some 15 MB of replies
        requests += bin("_gets\0good\0OK$");
    idle.write(requests);
    idle.flush();
    QVERIFY(QTest::qWaitFor([&] { return f->server->pendingOutput(slot) > 0; }));
    QTest::qWait(300);
    QVERIFY(f->server->pendingOutput(slot) <= 1024 * 1024);
    // Everyone else is served as before.
    QVERIFY(client->isConnected());
    client->send(u"_gets"_s, {u"good"_s});
    QVERIFY(client->waitFor(1));
    QVERIFY(client->take().endsWith(bin("\0\0OK$")));
}

QTEST_MAIN(BadInputTest)
#include "badinput_test.moc"
