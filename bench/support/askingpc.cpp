#include "askingpc.h"

#include <cstdio>

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>

namespace {
using Steady = std::chrono::steady_clock;
}

AskingPc::AskingPc(quint16 port) : m_thread([this, port] { run(port); }) {}

AskingPc::~AskingPc()
{
    m_stop = true;
    m_thread.join();
}

std::vector<double> AskingPc::take()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_samples, {});
}

void AskingPc::run(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0)
        return;
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_connected = true;
    static const char request[] = "_gets\0good\0OK$";
    const QByteArray end("\0OK$", 4);
    auto next = Steady::now();
    QByteArray reply;
    char buffer[65536];
    while (!m_stop) {
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
        const auto asked = Steady::now();
        if (::send(fd, request, sizeof request - 1, MSG_NOSIGNAL) <= 0)
            break;
        reply.clear();
        while (!reply.endsWith(end) && !m_stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0)
                continue;
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                m_stop = true;
                break;
            }
            reply.append(buffer, got);
        }
        const double ms = std::chrono::duration<double, std::milli>(Steady::now() - asked).count();
        std::lock_guard lock(m_mutex);
        m_samples.push_back(ms);
        if (next < Steady::now())
            next = Steady::now(); // a late reply does not make the next questions come in a burst
    }
    ::close(fd);
}

ReplyFigures figuresOf(std::vector<double> samples)
{
    if (samples.empty())
        return {};
    std::sort(samples.begin(), samples.end());
    const size_t at = std::min(samples.size() - 1, size_t(std::ceil(0.99 * double(samples.size()))) - 1);
    return {samples[at], samples.back(), samples.size()};
}

StallProbe::StallProbe()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kInterval);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        if (m_last >= 0)
            m_longest = std::max(m_longest, double(now - m_last) / 1e6 - kInterval);
        m_last = now;
    });
    m_clock.start();
    m_timer.start();
}

double StallProbe::take()
{
    m_last = m_clock.nsecsElapsed();
    return std::exchange(m_longest, 0.0);
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::unique_ptr<AskingPc> connectAskingPc(quint16 port)
{
    auto pc = std::make_unique<AskingPc>(port);
    runFor(2000);
    if (!pc->connected()) {
        std::fprintf(stderr, "the PC did not connect\n");
        return nullptr;
    }
    pc->take();
    return pc;
}
