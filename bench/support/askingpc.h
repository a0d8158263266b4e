#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QtGlobal>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A café PC asking for the goods list ("_gets good") every 100 ms, one request at a time, on
// a thread of its own with a plain socket (so its clock is not the desk's): each reply's wait
// is a sample, kept by the phase it fell in.
class AskingPc
{
public:
    explicit AskingPc(quint16 port);
    ~AskingPc();
    bool connected() const { return m_connected; }
    // Starts a new phase; the samples of the last one.
    std::vector<double> take();

private:
    void run(quint16 port);

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_connected{false};
    std::mutex m_mutex;
    std::vector<double> m_samples;
    std::thread m_thread;
};

// The 99th percentile and the longest of the replies' waits, in ms.
struct ReplyFigures
{
    double p99 = 0;
    double max = 0;
    size_t samples = 0;
};

ReplyFigures figuresOf(std::vector<double> samples);

// The longest turn of the event loop it runs on: a timer every few ms notes how late it fires.
// Whatever asks at the start of such a turn waits that long, however seldom a PC asks.
class StallProbe
{
public:
    StallProbe();
    // The longest delay beyond the interval since the last call, in ms.
    double take();

private:
    static constexpr int kInterval = 2; // ms
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    double m_longest = 0;
};

// Lets the event loop run for `ms`.
void runFor(int ms);

// A PC asking the desk listening on `port`, connected and its first samples dropped; none
// (said on stderr) when it does not connect within two seconds.
std::unique_ptr<AskingPc> connectAskingPc(quint16 port);
