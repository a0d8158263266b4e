// Two counters on one database server: how long after a commit at counter 1 counter 2's
// machine list shows it (the announcement, the gathering window and one pass), against the
// commit itself, measured in the same run. The 30-second tick is the backstop it replaces.
// Needs a server: CORVANA_BENCH_PG (or CORVANA_TEST_PG) names a file holding a libpq
// connection string, as scripts/test-postgres.sh writes it; without one it skips.

#include "billing/sessionstart.h"
#include "desk/frontdesk.h"
#include "store/database.h"
#include "store/machinetable.h"
#include "store/store.h"
#include "support/history.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRounds = 40;

QString serverConnection()
{
    for (const char *variable : {"CORVANA_BENCH_PG", "CORVANA_TEST_PG"}) {
        QFile file(qEnvironmentVariable(variable));
        if (!file.fileName().isEmpty() && file.open(QIODevice::ReadOnly))
            return QString::fromUtf8(file.readAll()).trimmed();
    }
    return {};
}

bool administer(const QString &connection, const QString &sql)
{
    Database admin;
    if (admin.openServer(connection, Store::key()) && admin.exec(sql))
        return true;
    std::fprintf(stderr, "database server: %s\n", qPrintable(admin.lastError()));
    return false;
}

// A counter: a desk whose folder holds the connection file.
bool openCounter(FrontDesk &desk, const QTemporaryDir &dir, const QString &connection)
{
    QFile settings(QDir(dir.path()).filePath(Store::serverFileName()));
    if (!settings.open(QIODevice::WriteOnly) || settings.write(connection.toUtf8()) < 0)
        return false;
    settings.close();
    if (const Result<> opened = desk.open(QDir(dir.path()).filePath(Store::fileName())); !opened) {
        std::fprintf(stderr, "cannot open the counter: %s\n", qPrintable(opened.error()));
        return false;
    }
    return true;
}

// Milliseconds until machine 1's icon at `desk` becomes `icon`; -1 after two seconds.
double untilShown(FrontDesk &desk, StatusIcon icon, const QElapsedTimer &since)
{
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto check = [&] {
        if (desk.machineList().at(1) && desk.machineList().at(1)->icon == icon)
            loop.quit();
    };
    QObject::connect(&desk.machineList(), &MachineList::entryChanged, &loop, check);
    QObject::connect(&desk.machineList(), &MachineList::rebuilt, &loop, check);
    limit.start(2000);
    check();
    if (desk.machineList().at(1)->icon != icon)
        loop.exec();
    return desk.machineList().at(1)->icon == icon ? since.nsecsElapsed() / 1e6 : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString server = serverConnection();
    if (server.isEmpty()) {
        std::printf("no database server configured (CORVANA_BENCH_PG): skipped\n");
        return 0;
    }
    const QString schema = QStringLiteral("bench_counters_%1").arg(QCoreApplication::applicationPid());
    if (!administer(server, QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE; CREATE SCHEMA %1").arg(schema)))
        return 1;
    const QString connection = server + QStringLiteral(" options='-csearch_path=%1'").arg(schema);
    int status = 0;
    {
        QTemporaryDir dir1;
        QTemporaryDir dir2;
        FrontDesk desk1;
        FrontDesk desk2;
        if (!openCounter(desk1, dir1, connection) || !openCounter(desk2, dir2, connection))
            return 1;
        Machine m;
        m.number = 1;
        m.name = QStringLiteral("1号机");
        m.rate = 3;
        MachineTable(desk1.db()).add(m);
        desk1.machinesChanged();
        desk2.machinesChanged();
        const qint64 rowid = MachineTable(desk1.db()).at(1)->rowid;

        std::vector<double> commits;
        std::vector<double> latencies;
        for (int round = 0; round < kRounds && status == 0; ++round) {
            QElapsedTimer clock;
            clock.start();
            if (!desk1.startTiming(1, {}, false)) {
                status = 1;
                break;
            }
            commits.push_back(clock.nsecsElapsed() / 1e6);
            clock.start(); // the commit is done: from here counter 2 can know
            const double shown = untilShown(desk2, IconBilling, clock);
            MachineTable(desk1.db()).setStatus(rowid, MachineStatus::Billing, MachineStatus::Off);
            QElapsedTimer back;
            back.start();
            if (shown < 0 || untilShown(desk2, IconOff, back) < 0) {
                std::fprintf(stderr, "counter 2 did not show counter 1's change within two seconds\n");
                status = 1;
                break;
            }
            latencies.push_back(shown);
        }
        if (status == 0) {
            const double latency = median(latencies);
            const double commit = median(commits);
            std::printf("notification latency (commit at counter 1 -> list changed at counter 2), median of %d:\n"
                        "  %.1f ms; the start itself took %.1f ms (ratio %.1f); 30-second tick / latency: %.0f\n",
                        kRounds, latency, commit, latency / commit, 30000.0 / latency);
        }
        desk1.store().close();
        desk2.store().close();
    }
    if (!administer(server, QStringLiteral("DROP SCHEMA %1 CASCADE").arg(schema)))
        return 1;
    return status;
}
