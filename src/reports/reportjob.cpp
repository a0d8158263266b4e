#include "reportjob.h"

#include "common/formats.h"
#include "store/database.h"
#include "store/goodstables.h"

ReportActivity &ReportActivity::instance()
{
    static ReportActivity activity;
    return activity;
}

void ReportActivity::jobStarted()
{
    if (m_jobs++ == 0)
        emit runningChanged(true);
}

void ReportActivity::jobEnded()
{
    if (--m_jobs == 0)
        emit runningChanged(false);
}

ReportJob::ReportJob(Database &db, const ReportRequest &request, QObject *parent)
    : QObject(parent), m_db(db), m_request(request), m_machineTime({request.from, request.to})
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &ReportJob::step);
}

ReportJob::~ReportJob()
{
    if (m_running)
        ReportActivity::instance().jobEnded();
}

void ReportJob::start()
{
    if (m_running)
        return;
    m_running = true;
    ReportActivity::instance().jobStarted();
    m_progress = 0;
    // A job started again begins afresh: no row of the last run is counted twice.
    m_machineTime = MachineTimeReport({m_request.from, m_request.to});
    const PriceList prices =
        m_request.kind == ReportKind::MachineTime ? PriceList() : PriceList(ArticleTable(m_db).all());
    m_goodsSales = GoodsSalesReport(prices);
    m_income = IncomeReport(prices);
    beginPhase(m_request.kind == ReportKind::GoodsSales ? Phase::Sales : Phase::Sessions);
    m_timer.start();
}

void ReportJob::cancel()
{
    if (m_running)
        end(false);
}

void ReportJob::beginPhase(Phase phase)
{
    m_phase = phase;
    m_place = {storedDateTime(m_request.from), -1};
    m_window = m_request.from;
    m_done = 0;
    if (phase == Phase::Sessions)
        m_total = JournalTable(m_db).countEndedBetween(m_request.from, m_request.to);
    else if (phase == Phase::Sales && m_request.kind == ReportKind::GoodsSales)
        m_total = SalesPeriodQuery(m_db).countBetween(m_request.from, m_request.to, m_request.machine);
    else // a day of sales at a time
        m_total = m_request.from.daysTo(m_request.to) + 1;
}

void ReportJob::step()
{
    // The machine choice applies to the goods and income reports only.
    const int machine = m_request.machine;
    bool more = false;
    if (m_phase == Phase::Sessions) {
        JournalTable journal(m_db);
        QList<JournalRecord> rows = m_request.kind == ReportKind::MachineTime
                                        ? journal.endedBetweenPage(m_place, m_request.to, m_chunk)
                                        : journal.moneyEndedBetweenPage(m_place, m_request.to, m_chunk);
        const qsizetype read = rows.size();
        more = read == m_chunk;
        if (read > 0)
            m_place = {rows.last().end, rows.last().rowid};
        if (m_request.kind == ReportKind::MachineTime) {
            m_machineTime.add(std::move(rows));
        } else {
            for (const JournalRecord &row : std::as_const(rows))
                if (machine == 0 || row.machine == machine)
                    m_income.addSession(row);
        }
        m_done += read;
    } else if (m_phase == Phase::Sales && m_request.kind == ReportKind::GoodsSales) {
        const QList<SaleRecord> sales =
            SalesPeriodQuery(m_db).pageBetween(m_place, m_request.to, machine, m_chunk);
        for (const SaleRecord &sale : sales)
            m_goodsSales.add(sale);
        more = sales.size() == m_chunk;
        if (!sales.isEmpty())
            m_place = {sales.last().time, sales.last().rowid};
        m_done += sales.size();
    } else if (m_phase == Phase::Sales) {
        // The income report values sales by article and quantity, which the store adds up.
        const QDateTime next = QDateTime(m_window.date().addDays(1), QTime(0, 0));
        for (const SaleSum &sum : SalesPeriodQuery(m_db).sumsBetween(m_window, next, m_request.to, machine))
            m_income.addSales(sum);
        m_window = next;
        more = next <= m_request.to;
        ++m_done;
    }
    setProgress(m_done);
    if (more)
        return; // the next turn reads on
    if (m_phase == Phase::Sessions && m_request.kind == ReportKind::Income) {
        beginPhase(Phase::Sales);
        return;
    }
    if (m_request.kind == ReportKind::MachineTime)
        m_machineTime.finish();
    end(true);
}

void ReportJob::setProgress(qint64 done)
{
    // The income report's sessions are its first half, its sales the second.
    const bool halves = m_request.kind == ReportKind::Income;
    const int base = halves && m_phase == Phase::Sales ? 50 : 0;
    const int span = halves ? 50 : 100;
    const qint64 total = std::max<qint64>(m_total, done);
    const int percent = base + (total > 0 ? int(std::min(done, total) * span / total) : span);
    if (percent != m_progress) {
        m_progress = percent;
        emit progressChanged(percent);
    }
}

void ReportJob::end(bool completed)
{
    m_timer.stop();
    m_running = false;
    m_phase = Phase::Done;
    ReportActivity::instance().jobEnded();
    if (completed)
        emit finished();
}
