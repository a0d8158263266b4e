#include "support/linkfixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray talk(const QStringList &fields)
{
    QByteArray bytes = bin("_talk");
    for (const QString &f : fields)
        bytes += '\0' + cp(f);
    return bytes + bin("\0OK$");
}

const QByteArray kTaken = bin("_talk\0login\0\0\0OK$");

} // namespace

class ChatTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { f.reset(); }

    void talkReachesEveryone();
    void takenNameIsRefused_data();
    void takenNameIsRefused();
    void newcomerHearsWhoIsOnline_data();
    void newcomerHearsWhoIsOnline();
    void quitFreesTheName();
    void unknownWordDoesNothing();

private:
    // Logs `name` in on client `i` and takes what the login brought to every client.
    void login(int i, const QString &name, const QString &extra);
    void drain();

    std::unique_ptr<LinkFixture> f;
    std::vector<std::unique_ptr<TestClient>> c;
};

void ChatTest::init()
{
    f = std::make_unique<LinkFixture>();
    c.clear();
    for (int i = 0; i < 3; ++i)
        c.push_back(f->connect());
}

void ChatTest::login(int i, const QString &name, const QString &extra)
{
    c[size_t(i)]->send(u"_talk"_s, {u"login"_s, name, extra});
    for (auto &client : c)
        QVERIFY(client->waitFor(1));
    // Messages to one PC leave spaced apart: all of them have gone once nothing waits.
    QVERIFY(QTest::qWaitFor([&] {
        for (int slot = 0; slot < f->server->slotCount(); ++slot)
            if (f->server->pendingOutput(slot) > 0)
                return false;
        return true;
    }));
    QTest::qWait(20);
    drain();
}

void ChatTest::drain()
{
    for (auto &client : c)
        client->messages.clear();
}

void ChatTest::talkReachesEveryone()
{
    // As older clients send it: no end mark; the relay adds 0x00 "OK$".
    c[1]->sendBare(u"_talk"_s, {u"talk"_s, u"阿强"_s, u"大家好"_s});
    const QByteArray expected = talk({u"talk"_s, u"阿强"_s, u"大家好"_s});
    for (auto &client : c) {
        QVERIFY(client->waitFor(1));
        QCOMPARE(client->take(), expected);
    }
}

void ChatTest::takenNameIsRefused_data()
{
    QTest::addColumn<bool>("firstStillConnected");
    QTest::newRow("owner online") << true;
    QTest::newRow("owner's connection gone") << false; // only "quit" frees a name
}

void ChatTest::takenNameIsRefused()
{
    QFETCH(bool, firstStillConnected);
    login(0, u"阿强"_s, u"x1"_s);
    if (!firstStillConnected) {
        c[0]->close();
        QVERIFY(QTest::qWaitFor([&] { return f->server->connectionCount() == 2; }));
    }
    c[1]->send(u"_talk"_s, {u"login"_s, u"阿强"_s, u"x2"_s});
    QVERIFY(c[1]->waitFor(1));
    QCOMPARE(c[1]->take(), kTaken);
    QTest::qWait(50);
    QVERIFY(c[1]->messages.isEmpty());
    QVERIFY(c[2]->messages.isEmpty()); // nothing relayed
    QVERIFY(firstStillConnected ? c[0]->messages.isEmpty() : true);

    // An empty name is never free.
    c[2]->send(u"_talk"_s, {u"login"_s, QString(), u"x"_s});
    QVERIFY(c[2]->waitFor(1));
    QCOMPARE(c[2]->take(), kTaken);
}

void ChatTest::newcomerHearsWhoIsOnline_data()
{
    QTest::addColumn<int>("newcomer");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("newcomer on the last slot") << 2 << 0 << 1;
    // Roster entries are taken in login order, not by slot: A holds entry 0, B entry 1. The
    // newcomer's copy of its own login comes when the walk reaches its slot.
    QTest::newRow("newcomer on the first slot") << 0 << 1 << 2;
}

void ChatTest::newcomerHearsWhoIsOnline()
{
    QFETCH(int, newcomer);
    QFETCH(int, first);
    QFETCH(int, second);
    login(first, u"A"_s, u"甲"_s);
    login(second, u"B"_s, u"乙"_s);
    c[size_t(newcomer)]->send(u"_talk"_s, {u"login"_s, u"C"_s, u"丙"_s});
    QVERIFY(c[size_t(newcomer)]->waitFor(3));
    const QByteArray relayed = talk({u"login"_s, u"C"_s, u"丙"_s});
    const QByteArray a = talk({u"login"_s, u"A"_s, u"甲"_s});
    const QByteArray b = talk({u"login"_s, u"B"_s, u"乙"_s});
    const QList<QByteArray> expected =
        newcomer == 2 ? QList<QByteArray>{a, b, relayed} : QList<QByteArray>{a, relayed, b};
    QCOMPARE(c[size_t(newcomer)]->messages, expected);
    for (int i : {first, second}) {
        QVERIFY(c[size_t(i)]->waitFor(1));
        QCOMPARE(c[size_t(i)]->messages, QList<QByteArray>{relayed});
    }
    QCOMPARE(f->server->chatRoster().at(2).name, u"C"_s);
    QCOMPARE(f->server->chatRoster().at(2).extra, u"丙"_s);
}

void ChatTest::quitFreesTheName()
{
    login(0, u"A"_s, u"1"_s);
    c[1]->send(u"_talk"_s, {u"quit"_s, u"A"_s});
    for (auto &client : c) {
        QVERIFY(client->waitFor(1));
        QCOMPARE(client->take(), talk({u"quit"_s, u"A"_s}));
    }
    QVERIFY(!f->server->chatRoster().at(0).online);
    c[2]->send(u"_talk"_s, {u"login"_s, u"A"_s, u"2"_s});
    for (auto &client : c) {
        QVERIFY(client->waitFor(1));
        QCOMPARE(client->take(), talk({u"login"_s, u"A"_s, u"2"_s}));
    }
}

void ChatTest::unknownWordDoesNothing()
{
    c[0]->send(u"_talk"_s, {u"shout"_s, u"A"_s, u"hi"_s});
    c[0]->send(u"_talk"_s);
    QCOMPARE(f->probe(*c[0]), bin("_gets\0good\0\0OK$"));
    QVERIFY(c[1]->messages.isEmpty());
}

QTEST_MAIN(ChatTest)
#include "chat_test.moc"
