// A swarm of PCs guesses one card's PIN through the card query, from 250 addresses at once
// (127.0.1.1 … 127.0.1.250, one connection each, each guessing every kGuessEveryMs), while an
// honest PC asks for the goods list every 100 ms. Shown: guesses sent, guesses the desk
// actually checked (hashed) per second and per card per 6 s, the honest PC's reply latency
// and the desk's processor time. The PCs are threads with blocking sockets, so the desk's
// event loop has this thread alone. Fails when the desk checked more than one guess per 6 s
// beyond the first kFirstTries.
//
// Usage: bench-swarm [seconds]   (default 40: the card's first pause ends within the run)

#include "accounts/passwords.h"
#include "common/cp936.h"
#include "desk/frontdesk.h"
#include "link/linkserver.h"
#include "store/accounttables.h"
#include "store/goodstables.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <crypt.h>
#include <cstdio>
#include <dlfcn.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kAddresses = 250;
constexpr int kThreads = 10;       // each drives kAddresses / kThreads connections in turn
constexpr int kGuessEveryMs = 200; // per connection: well within what a connection may send
constexpr int kHonestEveryMs = 100;
// What a customer who mistypes may try before the one-per-6-s pace applies.
constexpr int kFirstTries = 5;
const QString kCard = QStringLiteral("86100003");
const QString kPin = QStringLiteral("7391");
const QByteArray kEndMark = QByteArrayLiteral("\0OK$");

std::atomic<long long> g_hashes = 0;

} // namespace

// Every password hash of the desk passes here on its way to libcrypt: the count is what the
// desk really spent hashing, whatever its replies say.
extern "C" char *crypt_rn(const char *phrase, const char *setting, void *data, int size) noexcept
{
    using Real = char *(*)(const char *, const char *, void *, int);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "crypt_rn"));
    ++g_hashes;
    return real(phrase, setting, data, size);
}

namespace {

int connectFrom(const char *source, quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    if (source) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        inet_pton(AF_INET, source, &from.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from) != 0) {
            ::close(fd);
            return -1;
        }
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval t{2, 0}; // a reply that never comes must not stall the swarm
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One reply, up to its end mark; empty when the connection failed or time ran out.
QByteArray exchange(int fd, const QByteArray &request)
{
    if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size())
        return {};
    QByteArray got;
    char buffer[4096];
    while (!got.endsWith(kEndMark)) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return {};
        got.append(buffer, n);
    }
    return got;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000 + double(t.tv_nsec) / 1e6;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

struct Tally
{
    std::atomic<long long> sent = 0;
    std::atomic<long long> wrong = 0;     // "您所输入的密码错误！": checked and refused
    std::atomic<long long> throttled = 0; // refused unchecked
    std::atomic<long long> found = 0;     // the card's figures: the PIN was right
    std::atomic<long long> unanswered = 0;
    std::atomic<int> connections = 0;
    std::vector<double> latencies; // the honest PC's, ms
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 40;

    // Log lines are formatted as the desk would write them, then counted instead of printed.
    static std::atomic<long long> logLines = 0;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) { ++logLines; });

    QTemporaryDir dir;
    FrontDesk desk;
    if (const Result<> opened = desk.open(dir.filePath(QStringLiteral("dbase.mdb"))); !opened) {
        std::fprintf(stderr, "bench-swarm: cannot open the store: %s\n", qPrintable(opened.error()));
        return 1;
    }
    {
        Transaction t(desk.db());
        const Result<QString> pin = passwords::hash(kPin);
        ArticleTable articles(desk.db());
        bool ok = pin && CardTable(desk.db()).add({0, kCard, 100, 50, *pin, {}, 0, 0, 100});
        for (int i = 1; ok && i <= 50; ++i)
            ok = articles.add({0, QStringLiteral("%1").arg(i, 8, 10, QChar(u'0')),
                               QStringLiteral("商品%1").arg(i), 1, 3, 100});
        if (!ok || !t.commit()) {
            std::fprintf(stderr, "bench-swarm: cannot set up the store: %s\n",
                         qPrintable(desk.db().lastError()));
            return 1;
        }
    }
    LinkServer server(desk);
    desk.attach(server);
    if (!server.listen(0)) {
        std::fprintf(stderr, "bench-swarm: cannot listen\n");
        return 1;
    }
    const quint16 port = server.port();

    const QByteArray wrong = cp936::encode(QStringLiteral("您所输入的密码错误！"));
    const QByteArray throttled = cp936::encode(QStringLiteral("密码错误次数太多"));
    const QByteArray found = cp936::encode(QStringLiteral("你要查的卡号是："));

    Tally tally;
    std::atomic<bool> stop = false;
    std::atomic<int> running = kThreads + 1;
    std::atomic<int> nextGuess = 0; // PINs in order from 0000: the right one comes round too
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            constexpr int kEach = kAddresses / kThreads;
            std::vector<int> fds;
            for (int i = 0; i < kEach; ++i) {
                const QByteArray source = QByteArray("127.0.1.") + QByteArray::number(t * kEach + i + 1);
                const int fd = connectFrom(source.constData(), port);
                if (fd >= 0) {
                    fds.push_back(fd);
                    ++tally.connections;
                }
            }
            auto round = std::chrono::steady_clock::now();
            while (!stop) {
                for (int fd : fds) {
                    if (stop)
                        break;
                    const QByteArray pin = QByteArray::number(nextGuess++ % 10000).rightJustified(4, '0');
                    const QByteArray reply = exchange(fd, QByteArrayLiteral("_gets\0card\0") +
                                                              kCard.toLatin1() + '\0' + pin + kEndMark);
                    ++tally.sent;
                    if (reply.contains(wrong))
                        ++tally.wrong;
                    else if (reply.contains(throttled))
                        ++tally.throttled;
                    else if (reply.contains(found))
                        ++tally.found;
                    else
                        ++tally.unanswered;
                }
                round += std::chrono::milliseconds(kGuessEveryMs);
                std::this_thread::sleep_until(round);
            }
            for (int fd : fds)
                ::close(fd);
            --running;
        });
    }
    std::mutex latencyLock;
    threads.emplace_back([&] {
        const int fd = connectFrom(nullptr, port);
        auto next = std::chrono::steady_clock::now();
        while (fd >= 0 && !stop) {
            const auto sent = std::chrono::steady_clock::now();
            const bool answered = !exchange(fd, QByteArrayLiteral("_gets\0good\0OK$")).isEmpty();
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count();
            {
                const std::lock_guard lock(latencyLock);
                tally.latencies.push_back(answered ? ms : 2000.0);
            }
            next += std::chrono::milliseconds(kHonestEveryMs);
            std::this_thread::sleep_until(next);
        }
        if (fd >= 0)
            ::close(fd);
        --running;
    });

    // The desk's event loop runs here until the time is up and every PC has stopped.
    const long long hashesBefore = g_hashes;
    const double cpuBefore = threadCpuMs();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, [&] { stop = true; });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (running == 0)
            loop.quit();
    });
    poll.start(50);
    loop.exec();
    const double deskCpuMs = threadCpuMs() - cpuBefore;
    const long long checked = g_hashes - hashesBefore;
    for (std::thread &t : threads)
        t.join();

    const double perSecond = double(checked) / seconds;
    const double per6s = double(checked) * 6.0 / seconds;
    const double beyond = double(std::max<long long>(0, checked - kFirstTries)) * 6.0 / seconds;
    std::printf("swarm: %d addresses (%d connected) guessing card %s's PIN for %d s, each every %d ms\n",
                kAddresses, tally.connections.load(), qPrintable(kCard), seconds, kGuessEveryMs);
    std::printf(
        "swarm: %lld guesses sent (%.0f/s); replies: %lld wrong PIN, %lld refused unchecked, %lld right "
        "PIN, %lld other or none\n",
        tally.sent.load(), double(tally.sent) / seconds, tally.wrong.load(), tally.throttled.load(),
        tally.found.load(), tally.unanswered.load());
    std::printf(
        "swarm: %lld guesses checked (hashed): %.3f/s, %.2f per card per 6 s (%.2f beyond the first %d)\n",
        checked, perSecond, per6s, beyond, kFirstTries);
    std::printf("swarm: desk processor time %.1f%% of one core; %lld log lines\n",
                deskCpuMs / (seconds * 10.0), logLines.load());
    std::printf(
        "swarm: honest PC, goods list every %d ms: p50 %.1f ms, p99 %.1f ms, max %.1f ms (%zu replies; "
        "aim p99 <= 100 ms)\n",
        kHonestEveryMs, percentile(tally.latencies, 0.5), percentile(tally.latencies, 0.99),
        percentile(tally.latencies, 1.0), tally.latencies.size());
    std::printf("swarm: checked per card per 6 s beyond the first %d = %.2f (must be <= 1)\n", kFirstTries,
                beyond);
    const bool swarmRan = tally.connections == kAddresses && tally.sent > 0;
    if (!swarmRan)
        std::printf("swarm: [FAILED] the swarm did not run\n");
    return swarmRan && beyond <= 1.0 ? 0 : 1;
}
