// Start-up with big journals against start-up with empty ones, and the cost of one
// supervision pass over a full café. Prints plain lines; the start-up ratio should stay <= 1.5.

#include "support/history.h"
#include "common/clock.h"
#include "desk/frontdesk.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kMachines = 1000;
constexpr int kArticles = 100;
constexpr int kSessions = 1'000'000;
constexpr int kSales = 2'000'000;
constexpr int kStartupRuns = 9;
constexpr int kPassRuns = 9;

const QDateTime kNow(QDate(2002, 3, 14), QTime(14, 5, 9));

void fail(const QString &what)
{
    std::fprintf(stderr, "bench-startup: %s\n", qPrintable(what));
    std::exit(1);
}

void check(bool ok, Database &db, const char *what)
{
    if (!ok)
        fail(QString::fromLatin1(what) + QStringLiteral(": ") + db.lastError());
}

// The catalogue and `kMachines` machines. `allBilling`: every machine billing with
// `linesPerMachine` goods lines; otherwise a realistic mix of states, some with goods.
void addMachines(Database &db, bool allBilling, int linesPerMachine)
{
    QRandomGenerator gen(7);
    Transaction t(db);
    ArticleTable articles(db);
    for (int i = 0; i < kArticles; ++i)
        check(articles.add({0, articleNumber(i), QStringLiteral("商品%1").arg(i), double(1 + i % 7), 1.5 + i % 10, 1000}), db,
              "article");
    MachineTable machines(db);
    OrderTable orders(db);
    for (int n = 1; n <= kMachines; ++n) {
        Machine m;
        m.number = n;
        m.name = QString::number(n) + QStringLiteral("号机");
        m.ip = QStringLiteral("10.%1.%2.%3").arg(n / 65536).arg((n / 256) % 256).arg(n % 256);
        m.rate = 2 + n % 4;
        const int kind = allBilling ? 0 : int(gen.bounded(100));
        int lines = 0;
        if (kind < 55) { // billing
            m.status = MachineStatus::Billing;
            m.mode = kind < 5 ? QStringLiteral("P") : QStringLiteral("N");
            m.start = kNow.addSecs(-qint64(gen.bounded(10 * 3600)));
            if (kind % 5 == 1)
                m.due = kNow.addSecs(3600 + gen.bounded(3600));
            m.customer = QStringLiteral("客户%1").arg(n);
            lines = allBilling ? linesPerMachine : (kind % 2 ? int(gen.bounded(1, 6)) : 0);
        } else if (kind < 58) {
            m.status = MachineStatus::Paused;
            m.mode = QStringLiteral("N");
            m.start = kNow.addSecs(-3600);
        } else if (kind < 80) {
            m.status = MachineStatus::Standby;
        } else {
            m.status = MachineStatus::Off;
        }
        check(machines.add(m), db, "machine");
        for (int l = 0; l < lines; ++l)
            check(orders.add({0, n, articleNumber((n + l * 7) % kArticles), double(1 + l % 3), kNow.addSecs(-60)}), db,
                  "order line");
    }
    check(t.commit(), db, "commit");
}

QString createStore(const QString &path, bool allBilling, int linesPerMachine)
{
    Store store;
    QString error;
    if (!store.open(path, &error))
        fail(error);
    check(fastWrites(store.db()), store.db(), "pragma");
    addMachines(store.db(), allBilling, linesPerMachine);
    return path;
}

// Opening the store (key derivation included) and building the machine list.
double startupMs(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    FrontDesk desk;
    if (const Result<> opened = desk.open(path); !opened)
        fail(opened.error());
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (desk.machineList().count() != kMachines)
        fail(QStringLiteral("machine list has %1 entries").arg(desk.machineList().count()));
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Clock::fix(kNow);
    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no temporary folder"));

    // (a) start-up: the same machines, with empty and with big journals.
    QElapsedTimer build;
    build.start();
    const QString emptyPath = createStore(dir.filePath(QStringLiteral("empty.mdb")), false, 0);
    const QString bigPath = dir.filePath(QStringLiteral("big.mdb"));
    if (!QFile::copy(emptyPath, bigPath))
        fail(QStringLiteral("copy failed"));
    {
        Store store;
        QString error;
        if (!store.open(bigPath, &error))
            fail(error);
        check(fastWrites(store.db()), store.db(), "pragma");
        check(addHistory(store.db(), kSessions, kSales / kSessions, kArticles, kMachines, kNow), store.db(), "journals");
    }
    std::printf("generated %d sjlszb and %d khspb rows in %.1f s (file %.0f MB)\n", kSessions, kSales,
                double(build.elapsed()) / 1000, double(QFileInfo(bigPath).size()) / 1e6);

    std::vector<double> emptyRuns;
    std::vector<double> bigRuns;
    startupMs(emptyPath); // warm both files into the page cache alike
    startupMs(bigPath);
    for (int i = 0; i < kStartupRuns; ++i) {
        emptyRuns.push_back(startupMs(emptyPath));
        bigRuns.push_back(startupMs(bigPath));
    }
    const double emptyMs = median(emptyRuns);
    const double bigMs = median(bigRuns);
    std::printf("startup with %d machines, empty journals: %.2f ms (median of %d)\n", kMachines, emptyMs,
                kStartupRuns);
    std::printf("startup with %d machines, %d sjlszb + %d khspb rows: %.2f ms (median of %d)\n", kMachines,
                kSessions, kSales, bigMs, kStartupRuns);
    std::printf("startup ratio big/empty: %.3f (limit 1.5: %s)\n", bigMs / emptyMs,
                bigMs / emptyMs <= 1.5 ? "ok" : "EXCEEDED");

    // (b) one supervision pass over 1,000 billing machines with 10,000 goods lines.
    const QString passPath = createStore(dir.filePath(QStringLiteral("pass.mdb")), true, 10);
    FrontDesk desk;
    if (const Result<> opened = desk.open(passPath); !opened)
        fail(opened.error());
    desk.refresh();
    std::vector<double> passRuns;
    for (int i = 0; i < kPassRuns; ++i) {
        Clock::advanceSeconds(30);
        QElapsedTimer timer;
        timer.start();
        desk.refresh();
        passRuns.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double passMs = median(passRuns);
    std::printf("supervision pass, %d billing machines, %d goods lines: %.2f ms (median of %d)\n", kMachines,
                kMachines * 10, passMs, kPassRuns);
    std::printf("supervision pass per machine: %.1f us\n", passMs * 1000 / kMachines);
    return 0;
}
