// The desk's memory under reconnecting PCs: a front desk and its link server in this process,
// and 50 PCs at a time (sockets in the same event loop) that each connect, announce
// themselves, ask to start (refused), query the goods list, log in to the chat and talk,
// and disconnect. Prints the resident memory after 1,000 and after 10,000 such cycles; what
// each connection leaves behind shows as growth between the two.

#include "common/questions.h"
#include "desk/frontdesk.h"
#include "link/linkserver.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/machinetable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <malloc.h>
#include <sqlcipher/sqlite3.h>

namespace {

constexpr int kMachines = 200;
constexpr int kParallel = 50;

const QByteArray kEnd = QByteArrayLiteral("\0OK$");

// The operator refuses every question at the next turn of the event loop.
class Refuser final : public QuestionPresenter
{
public:
    void present(const Question &, std::function<void(Answer)> answered) override
    {
        QTimer::singleShot(0, [answered = std::move(answered)] { answered(Answer::No); });
    }
    int dismissed = 0;
    void dismiss() override { ++dismissed; }
};

long residentKb()
{
    malloc_trim(0); // what was freed goes back, so what stays is what is held
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// One PC's visit: connect, announce, ask, query, chat, leave.
class Visit final : public QObject
{
public:
    Visit(quint16 port, int machine, int serial, std::function<void(Visit *)> done)
        : m_machine(machine), m_serial(serial), m_done(std::move(done))
    {
        connect(&m_socket, &QTcpSocket::connected, this, &Visit::talk);
        connect(&m_socket, &QTcpSocket::readyRead, this, &Visit::read);
        connect(&m_socket, &QTcpSocket::disconnected, this, [this] { finish(); });
        connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] { finish(); });
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    }

private:
    void talk()
    {
        const QByteArray name = "pc" + QByteArray::number(m_serial);
        QByteArray out = "_sele" + QByteArray(1, '\0') + QByteArray::number(m_machine) + kEnd;
        out += QByteArrayLiteral("_comm\0start") + kEnd;
        out += QByteArrayLiteral("_gets\0good") + kEnd;
        out += QByteArrayLiteral("_talk\0login\0") + name + QByteArrayLiteral("\0hello") + kEnd;
        out += QByteArrayLiteral("_talk\0talk\0") + name + QByteArrayLiteral("\0anyone there?") + kEnd;
        m_socket.write(out);
    }
    void read()
    {
        m_in += m_socket.readAll();
        // The goods list and its own chat line have come back: the visit is over.
        if (m_in.contains("_gets") && m_in.contains("anyone there?")) {
            m_socket.disconnectFromHost();
            if (m_socket.state() == QAbstractSocket::UnconnectedState)
                finish();
        }
    }
    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        m_done(this);
    }

    QTcpSocket m_socket;
    QByteArray m_in;
    int m_machine;
    int m_serial;
    bool m_finished = false;
    std::function<void(Visit *)> m_done;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    FrontDesk desk;
    if (const Result<> opened = desk.open(dir.filePath(QStringLiteral("dbase.mdb"))); !opened) {
        std::fprintf(stderr, "cannot open the store: %s\n", qPrintable(opened.error()));
        return 1;
    }
    {
        Database &db = desk.db();
        Transaction t(db);
        for (int n = 1; n <= kMachines; ++n) {
            Machine m;
            m.number = n;
            m.name = QStringLiteral("%1号机").arg(n);
            m.rate = 3;
            MachineTable(db).add(m);
        }
        for (int i = 1; i <= 50; ++i)
            ArticleTable(db).add({0, QStringLiteral("%1").arg(i, 8, 10, QLatin1Char('0')),
                                  QStringLiteral("商品%1").arg(i), 1, 2.5, 100});
        t.commit();
    }
    desk.rebuildList();
    Refuser refuser;
    desk.questions().setPresenter(&refuser);
    LinkServer server(desk);
    desk.attach(server);
    if (!server.listen(0)) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }

    const int checkpoints[] = {1000, 10000};
    long rss[2] = {0, 0};
    long cacheKb[2] = {0, 0};
    int started = 0;
    int finished = 0;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    std::function<void()> startOne;
    std::function<void(Visit *)> done = [&](Visit *visit) {
        visit->deleteLater();
        ++finished;
        if (finished == checkpoints[0] || finished == checkpoints[1]) {
            // Let what the last visits left settle: their closes, the pass, the late lists.
            QTimer::singleShot(1500, &loop, [&, at = finished] {
                const int i = at == checkpoints[0] ? 0 : 1;
                rss[i] = residentKb();
                cacheKb[i] = long(sqlite3_memory_used() / 1024);
                std::printf("after %5d cycles: %ld kB resident, of it %ld kB the database's, %d slots, "
                            "%d questions open (%.1f s)\n",
                            at, rss[i], cacheKb[i], server.slotCount(), desk.questions().pending(),
                            clock.elapsed() / 1000.0);
                std::fflush(stdout);
                if (at == checkpoints[1])
                    loop.quit();
                else
                    for (int i = 0; i < kParallel; ++i)
                        startOne();
            });
            return;
        }
        if (finished < checkpoints[1] && finished != checkpoints[0] &&
            started < (finished < checkpoints[0] ? checkpoints[0] : checkpoints[1]))
            startOne();
    };
    startOne = [&] {
        const int serial = started++;
        new Visit(server.port(), serial % kMachines + 1, serial, done);
    };
    for (int i = 0; i < kParallel; ++i)
        startOne();
    loop.exec();

    // Every refused start leaves a trail entry, and the database keeps the pages it wrote in its
    // page cache up to its fixed size; that is data, not something a connection left behind.
    const double cacheMb = (cacheKb[1] - cacheKb[0]) / 1024.0;
    const double growthMb = (rss[1] - rss[0]) / 1024.0 - cacheMb;
    std::printf("growth from 1,000 to 10,000 cycles: %.2f MB besides %.2f MB of the database's page cache "
                "(aim: at most 1 MB)\n",
                growthMb, cacheMb);
    return growthMb <= 1.0 ? 0 : 1;
}
