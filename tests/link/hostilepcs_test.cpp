// PCs on a real network and PCs that mean harm, through real sockets: messages that TCP cuts
// or glues, replies spaced apart, a flood, a forged chat, a machine number claimed by another
// PC, and what the operator is asked about their goods.
#include "accounts/passwords.h"
#include "audit/trail.h"
#include "common/clock.h"
#include "common/cp936.h"
#include "link/message.h"
#include "store/accounttables.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "support/linkfixture.h"

#include <QSignalSpy>
#include <QTest>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kClient1 = u"127.0.0.2"_s;
const QString kClient2 = u"127.0.0.3"_s;

// A PC read by a thread of its own with blocking reads, so that each arrival is timed when it
// comes and not when the server's event loop lets the test look.
class TimedReader final
{
public:
    struct Read
    {
        std::chrono::steady_clock::time_point at;
        QByteArray bytes;
    };

    explicit TimedReader(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0)
            qFatal("cannot connect");
        m_thread = std::thread([this] {
            char buffer[65536];
            for (ssize_t n; (n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0;) {
                const std::lock_guard lock(m_mutex);
                m_reads.push_back({std::chrono::steady_clock::now(), QByteArray(buffer, n)});
            }
        });
    }
    ~TimedReader()
    {
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
    }
    void send(const QByteArray &bytes) { (void)::send(m_fd, bytes.constData(), size_t(bytes.size()), 0); }
    std::vector<Read> reads()
    {
        const std::lock_guard lock(m_mutex);
        return m_reads;
    }
    // Waits (serving the server's events) until `count` end marks have come.
    bool waitForMessages(int count)
    {
        return QTest::qWaitFor(
            [&] {
                qsizetype marks = 0;
                for (const Read &r : reads())
                    marks += r.bytes.count(wire::kEndMark);
                return marks >= count;
            },
            5000);
    }

private:
    int m_fd = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Read> m_reads;
};

QByteArray framed(const QString &tag, const QStringList &fields)
{
    return wire::message(tag, fields);
}

} // namespace

class HostilePcsTest final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Clock::fix(QDateTime(QDate(2002, 3, 14), QTime(12, 5, 0)));
        f = std::make_unique<LinkFixture>();
    }
    void cleanup()
    {
        f.reset();
        Clock::release();
    }

    // A request that TCP cuts anywhere is read whole once its end mark comes, and one left
    // without anything after it is answered by the timer.
    void cutRequestsAreReadWhole_data()
    {
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<int>("replies");
        const QByteArray card = bin("_gets\0card\0"
                                    "86100001\0"
                                    "1234\0OK$");
        QTest::newRow("card number cut in two") << QList<QByteArray>{card.left(15), card.mid(15)} << 1;
        QTest::newRow("cut before the end mark")
            << QList<QByteArray>{card.left(card.size() - 4), card.right(4)} << 1;
        QTest::newRow("held tail with nothing after it")
            << QList<QByteArray>{bin("_gets\0good\0OK$") + card.left(card.size() - 4)} << 2;
    }
    void cutRequestsAreReadWhole()
    {
        QFETCH(QList<QByteArray>, writes);
        QFETCH(int, replies);
        CardTable(f->store.db()).add({0, u"86100001"_s, 100, 1, *passwords::hash(u"1234"_s), {}, 0, 0, 50});
        auto c = f->connect();
        for (const QByteArray &w : writes) {
            c->sendBytes(w);
            QTest::qWait(300); // apart on the wire
        }
        QVERIFY(c->waitFor(replies, 4000));
        QVERIFY2(c->messages.last().contains(cp(u"你要查的卡号是：86100001"_s)),
                 c->messages.last().constData());
    }

    // Replies to one PC arrive apart, however fast they are made; each is one arrival.
    void consecutiveMessagesAreSpaced()
    {
        f->store.addArticle(u"00000001"_s, u"可乐"_s, 3);
        TimedReader pc(f->server->port());
        const QByteArray ask = framed(u"_gets"_s, {u"good"_s});
        pc.send(ask + ask + ask);
        QVERIFY(pc.waitForMessages(3));
        const auto reads = pc.reads();
        QCOMPARE(reads.size(), size_t(3));
        // Glued replies would arrive together. A reader late for one reply sees that gap
        // shortened by as much, so the whole span is what is measured.
        const auto span = std::chrono::duration_cast<std::chrono::milliseconds>(reads.back().at - reads.front().at);
        QVERIFY2(span.count() >= ConnectionSlots::kSpacing, qPrintable(QString::number(span.count())));
    }

    // A PC that floods has what is beyond its rate dropped, and others are still answered;
    // when it goes on, its connection is closed.
    void floodIsDroppedThenClosed()
    {
        f->store.addMachine(1, 3, MachineStatus::Standby, kClient1);
        f->reload();
        auto flooder = f->connect(kClient1);
        auto honest = f->connect(kClient2);
        QByteArray burst;
        for (int i = 0; i < 500; ++i)
            burst += framed(u"_sele"_s, {u"1"_s});
        flooder->sendBytes(burst);
        QTest::qWait(200);
        QVERIFY(f->probe(*honest).startsWith("_gets"));
        QVERIFY(f->server->droppedMessages(0) >= 500 - 2 * MessageRate::kBurst);
        QVERIFY(flooder->isConnected()); // one burst is dropped, not punished

        QByteArray hundred;
        for (int i = 0; i < 100; ++i)
            hundred += framed(u"_sele"_s, {u"1"_s});
        QElapsedTimer flooding;
        flooding.start();
        while (flooder->isConnected() && flooding.elapsed() < 15000) {
            flooder->sendBytes(hundred);
            QTest::qWait(100);
        }
        QVERIFY(!flooder->isConnected());
        QVERIFY(f->probe(*honest).startsWith("_gets"));
    }

    // What a PC writes into a chat cannot reach the others as anything but its chat text.
    void forgedChatIsRelayedAsOneMessage()
    {
        auto sender = f->connect();
        auto other = f->connect();
        sender->sendBytes(bin("_talk\0talk\0x\0OK$") + cp(u"_msgb\0网管通知：请到吧台充值\0OK$"_s) +
                          bin("_hick\0www.x.com\0\0"));
        QVERIFY(other->waitFor(1));
        QCOMPARE(other->take(), bin("_talk\0talk\0x\0OK$"));
        QVERIFY(f->probe(*other).startsWith("_gets")); // nothing else came
    }

    // While machine 4's own PC is connected, another PC cannot take its number; once it has
    // gone, the newcomer can, and the marker of a PC gone is cleared whatever its address.
    void machineNumberIsNotTakenOver()
    {
        f->store.addMachine(4, 3, MachineStatus::Billing, kClient1);
        f->store.startSession(4, Clock::now().addSecs(-600));
        f->reload();
        QSignalSpy notices(&f->desk, &FrontDesk::statusNotice);
        QSignalSpy gone(f->server.get(), &LinkServer::clientGone);
        auto own = f->announced(4, kClient1);
        auto intruder = f->connect(kClient2);
        intruder->send(u"_sele"_s, {u"4"_s});
        QVERIFY(QTest::qWaitFor([&] { return !notices.isEmpty(); }));
        QCOMPARE(notices.last().at(0).toString(), u"4号机被另一台计算机（127.0.0.3）声明"_s);
        QTest::qWait(1200);                               // the lists would have come by now
        QVERIFY(f->probe(*intruder).startsWith("_gets")); // no start, no lists
        f->server->flushPending();
        QCOMPARE(MachineTable(f->store.db()).byNumber(4)->ip, kClient1);
        QCOMPARE(f->server->machineNumber(1), 0);

        own->close();
        QVERIFY(QTest::qWaitFor([&] { return !gone.isEmpty(); }));
        QCOMPARE(gone.last().at(1).toBool(), true);
        intruder->send(u"_sele"_s, {u"4"_s});
        QVERIFY(intruder->waitFor(1));
        QCOMPARE(intruder->take(), wire::command(u"start"_s));
        QVERIFY(QTest::qWaitFor([&] { return gone.last().at(1).toBool() == false; }));
        QCOMPARE(gone.last().at(0).toInt(), 1);
    }

    // A PC paused by the operator that asks to start again is started only when the operator
    // agrees, and its session goes on from where it began.
    void pausedPcStartsOnlyWhenAllowed_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("refused") << Answer::No;
        QTest::newRow("agreed") << Answer::Yes;
    }
    void pausedPcStartsOnlyWhenAllowed()
    {
        QFETCH(Answer, answer);
        f->store.addMachine(1, 3, MachineStatus::Billing, kClient1);
        const QDateTime began = Clock::now().addSecs(-3600);
        f->store.startSession(1, began);
        f->reload();
        auto c = f->announced(1, kClient1);
        c->messages.clear();
        f->desk.link()->SendCommand(kClient1, u"pause"_s);
        QVERIFY(c->waitFor(1));
        c->take();
        c->send(u"_comm"_s, {u"start"_s});
        QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
        QCOMPARE(f->presenter.asked.last().text, u"1号机要求开机，是否同意？"_s);
        QVERIFY(c->messages.isEmpty());
        f->presenter.answer(answer);
        const QByteArray next = f->probe(*c);
        if (answer == Answer::Yes) {
            QCOMPARE(next, wire::command(u"start"_s));
        } else {
            QVERIFY(next.startsWith("_gets"));
        }
        const Machine m = *MachineTable(f->store.db()).byNumber(1);
        QCOMPARE(m.start, began);
        QCOMPARE(m.status, MachineStatus::Billing);
    }

    // The operator sees the catalogue's name for the article number, the PC's beside it, and
    // the stock left; the trail says what was seen, and exactly that is booked.
    void goodsQuestionShowsTheCatalogue()
    {
        f->store.addMachine(1, 3, MachineStatus::Billing, kClient1);
        f->store.startSession(1, Clock::now().addSecs(-60));
        f->store.addArticle(u"00000003"_s, u"矿泉水"_s, 4, 1);
        f->store.addArticle(u"00000004"_s, u"香烟"_s, 20, 10);
        f->reload();
        auto c = f->connect(kClient1);
        c->send(u"_good"_s, {u"00000003"_s, u"香烟"_s, u"2"_s, u"00000004"_s, u"香烟"_s, u"1"_s});
        QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
        const QStringList lines = f->presenter.asked.last().text.split(u"\r\n"_s, Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.at(1).startsWith(u"矿泉水（※客户端写作：香烟）"_s), qPrintable(lines.at(1)));
        QVERIFY(lines.at(1).endsWith(u"数量：2    库存不足（剩余-1）"_s));
        QVERIFY(lines.at(2).startsWith(u"香烟 "_s));
        QVERIFY(lines.at(2).endsWith(u"数量：1    剩余库存：9"_s));
        f->presenter.answer(Answer::Yes);
        QVERIFY(c->waitFor(1));
        QCOMPARE(ArticleTable(f->store.db()).byNumber(u"00000003"_s)->stock, -1.0);
        const QList<OrderLine> booked = OrderTable(f->store.db()).linesOf(1);
        QCOMPARE(booked.size(), 2);
        QCOMPARE(booked.at(0).article, u"00000003"_s);
        const QList<audit::Entry> trail = audit::entries(f->desk.db(), {}, {}, {}, 1, u"同意选购商品"_s);
        QCOMPARE(trail.size(), 1);
        QCOMPARE(trail.at(0).details, u"矿泉水（※客户端写作：香烟）×2，香烟×1"_s);
    }

private:
    std::unique_ptr<LinkFixture> f;
};

QTEST_MAIN(HostilePcsTest)
#include "hostilepcs_test.moc"
