#pragma once

#include "goodsreports.h"
#include "machinetimereport.h"
#include "reportrequest.h"
#include "store/journaltable.h"

#include <QObject>
#include <QTimer>
#include <optional>

class Database;

// Whether any report is being produced; the restore command must wait for it, as a report
// reads the open database between its chunks.
class ReportActivity final : public QObject
{
    Q_OBJECT

public:
    static ReportActivity &instance();
    bool running() const { return m_jobs > 0; }

signals:
    void runningChanged(bool running);

private:
    friend class ReportJob;
    void jobStarted();
    void jobEnded();
    int m_jobs = 0;
};

// Produces one report from the journals: one indexed selection by period, read and worked
// through a chunk of rows per turn of the event loop, so the window, the timers and the
// client link keep running meanwhile.
class ReportJob final : public QObject
{
    Q_OBJECT

public:
    ReportJob(Database &db, const ReportRequest &request, QObject *parent = nullptr);
    ~ReportJob() override;

    // Starts on the next turn of the event loop.
    void start();
    // Stops after the current chunk; finished() is not emitted.
    void cancel();
    bool isRunning() const { return m_running; }
    int progress() const { return m_progress; }
    const ReportRequest &request() const { return m_request; }

    // The report of the request's kind, complete once finished() was emitted.
    const MachineTimeReport &machineTime() const { return m_machineTime; }
    const GoodsSalesReport &goodsSales() const { return m_goodsSales; }
    const IncomeReport &income() const { return m_income; }

    // Rows read per turn of the event loop.
    void setChunkRows(int rows) { m_chunk = std::max(1, rows); }

signals:
    // 0 to 100.
    void progressChanged(int percent);
    void finished();

private:
    enum class Phase { Sessions, Sales, Done };
    void step();
    void beginPhase(Phase phase);
    void setProgress(qint64 done);
    void end(bool completed);

    Database &m_db;
    ReportRequest m_request;
    QTimer m_timer;
    bool m_running = false;
    int m_chunk = 4000;
    int m_progress = 0;
    Phase m_phase = Phase::Done;
    PeriodPlace m_place;
    QDateTime m_window; // the income report's next day of sales
    qint64 m_total = 0;
    qint64 m_done = 0;
    MachineTimeReport m_machineTime;
    GoodsSalesReport m_goodsSales;
    IncomeReport m_income;
};
