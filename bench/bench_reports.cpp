// The monthly machine-time report and the income report over a store whose journals hold a
// million sessions and two million goods sales, against a bare SQLite scan of the same rows
// in the same run. A report reads its period through the indexes, so it costs about what
// reading its rows costs, however long the journals grow.

#include "common/clock.h"
#include "common/formats.h"
#include "reports/reportjob.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/store.h"
#include "support/history.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlcipher/sqlite3.h>
#include <vector>

namespace {

constexpr int kRuns = 9;
constexpr double kLimit = 1.5;
constexpr int kArticles = 50;
constexpr qint64 kSessions = 1000000;
constexpr qint64 kSales = 2000000;
const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

// Steps through every row of `sql` over the period and touches every column, as a reader
// that does nothing with the values would.
qint64 bareScan(Database &db, const char *sql, const ReportPeriod &period)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &stmt, nullptr) != SQLITE_OK)
        return -1;
    const QByteArray from = storedDateTime(period.from).toUtf8();
    const QByteArray to = storedDateTime(period.to).toUtf8();
    sqlite3_bind_text(stmt, 1, from.constData(), int(from.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, to.constData(), int(to.size()), SQLITE_TRANSIENT);
    qint64 rows = 0;
    qint64 bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            bytes += sqlite3_column_bytes(stmt, c);
    }
    sqlite3_finalize(stmt);
    return bytes > 0 ? rows : rows;
}

double scanMs(Database &db, const ReportPeriod &period, bool withSales, qint64 *rows)
{
    QElapsedTimer t;
    t.start();
    *rows = bareScan(db, R"(SELECT * FROM sjlszb WHERE "结束时间" >= ?1 AND "结束时间" <= ?2)", period);
    if (withSales)
        *rows += bareScan(db, R"(SELECT * FROM khspb WHERE "时间" >= ?1 AND "时间" <= ?2)", period);
    return double(t.nsecsElapsed()) / 1e6;
}

double reportMs(Database &db, ReportKind kind, const ReportPeriod &period, QString *check)
{
    ReportJob job(db, {kind, period.from, period.to, 0});
    QEventLoop loop;
    QObject::connect(&job, &ReportJob::finished, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    job.start();
    loop.exec();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    *check = kind == ReportKind::MachineTime ? QString::number(job.machineTime().rows().size())
                                             : plainText(job.income().text(kNow.date())).section(u'\n', 0, 0);
    return ms;
}

// Scan and report take turns, and each report is judged against the scan just before it: a
// busy spell slows both of a pair alike, so the median of the pairs' ratios holds on a busy
// machine and still catches a slow report.
bool compare(Database &db, ReportKind kind, const ReportPeriod &period, const char *what)
{
    std::vector<double> scans, reports, ratios;
    qint64 rows = 0;
    QString check;
    scanMs(db, period, kind == ReportKind::Income, &rows); // warm the page cache
    reportMs(db, kind, period, &check);
    for (int i = 0; i < kRuns; ++i) {
        scans.push_back(scanMs(db, period, kind == ReportKind::Income, &rows));
        reports.push_back(reportMs(db, kind, period, &check));
        ratios.push_back(reports.back() / scans.back());
    }
    const double ratio = median(ratios);
    std::printf(
        "%s: %lld rows (%s), bare scan %.1f ms, report %.1f ms (medians), ratio %.2f (median of %d pairs, "
        "limit %.1f) %s\n",
        what, rows, qPrintable(check.trimmed()), median(scans), median(reports), ratio, kRuns, kLimit,
        ratio <= kLimit ? "ok" : "TOO SLOW");
    return ratio <= kLimit;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Clock::fix(kNow);
    QTemporaryDir dir;
    Store store;
    QString error;
    if (!store.open(dir.filePath(Store::fileName()), &error)) {
        std::fprintf(stderr, "cannot open the store: %s\n", qPrintable(error));
        return 1;
    }
    Database &db = store.db();
    fastWrites(db);
    {
        Transaction t(db);
        ArticleTable articles(db);
        for (int i = 0; i < kArticles; ++i)
            articles.add({0, articleNumber(i), QStringLiteral("商品%1").arg(i + 1), 1.2, 2.5, 1000});
        t.commit();
    }
    QElapsedTimer fill;
    fill.start();
    if (!addHistory(db, kSessions, int(kSales / kSessions), kArticles, 40, kNow)) {
        std::fprintf(stderr, "cannot fill the journals: %s\n", qPrintable(db.lastError()));
        return 1;
    }
    std::printf("journals filled: %lld sessions, %lld goods sales in %.1f s\n", kSessions, kSales,
                double(fill.elapsed()) / 1000);

    // Last month's settlement period, the 1st to the 31st.
    const ReportPeriod month = monthlyPeriod(kNow.date().addMonths(-1), 1, 31);
    const bool timeOk = compare(db, ReportKind::MachineTime, month, "monthly machine-time report");
    const bool incomeOk = compare(db, ReportKind::Income, month, "monthly income report");
    return timeOk && incomeOk ? 0 : 1;
}
