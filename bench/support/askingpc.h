#pragma once

#include <QtGlobal>
#include <atomic>
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

// Lets the event loop run for `ms`.
void runFor(int ms);
