// Checkouts per second on the file store and on a database server, over its Unix socket and
// over TCP; on the server, one, two and four counters settling at once; and how long after a
// commit at counter 1 counter 2's machine list shows it.
// CORVANA_BENCH_PG (or CORVANA_TEST_PG) names a file holding the server's connection string
// over its socket, CORVANA_BENCH_PG_TCP one over TCP on 127.0.0.1, as scripts/test-postgres.sh
// writes them; each server case without its file is skipped.

#include "accounts/passwords.h"
#include "audit/trail.h"
#include "billing/checkout.h"
#include "billing/sessionstart.h"
#include "common/clock.h"
#include "desk/frontdesk.h"
#include "store/accounttables.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/journaltable.h"
#include "store/machinetable.h"
#include "store/store.h"
#include "support/history.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <crypt.h>
#include <cstdio>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRounds = 40;
constexpr int kCheckouts = 300;
constexpr int kWarmUp = 10;
constexpr int kGoodsLines = 5;
const QString kCardNumber = QStringLiteral("80000001");
const QString kCardPassword = QStringLiteral("1234");
const QString kCustomerName = QStringLiteral("张三");
constexpr double kCardBalance = 1000000;
constexpr int kScalingCheckouts = 150;
constexpr int kMostCounters = 4;

// Counter `seat`'s own customer and card in the scaling case; seat 1's are the ones above.
QString customerOf(int seat)
{
    return seat == 1 ? kCustomerName : kCustomerName + QString::number(seat);
}
QString cardOf(int seat)
{
    return QString::number(kCardNumber.toLongLong() + seat - 1);
}

QString connectionIn(std::initializer_list<const char *> variables, QString *folder = nullptr)
{
    for (const char *variable : variables) {
        QFile file(qEnvironmentVariable(variable));
        if (!file.fileName().isEmpty() && file.open(QIODevice::ReadOnly)) {
            if (folder)
                *folder = QFileInfo(file).absolutePath();
            return QString::fromUtf8(file.readAll()).trimmed();
        }
    }
    return {};
}

QString serverConnection(QString *folder = nullptr)
{
    return connectionIn({"CORVANA_BENCH_PG", "CORVANA_TEST_PG"}, folder);
}

bool administer(const QString &connection, const QString &sql)
{
    Database admin;
    if (admin.openServer(connection, Store::key()) && admin.exec(sql))
        return true;
    std::fprintf(stderr, "database server: %s\n", qPrintable(admin.lastError()));
    return false;
}

// A fresh schema on the server for one case, dropped when it ends.
class Schema final
{
public:
    Schema(const QString &server, const QString &name) : m_server(server), m_name(name)
    {
        m_ok = administer(server,
                          QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE; CREATE SCHEMA %1").arg(name));
    }
    ~Schema()
    {
        if (m_ok)
            administer(
                m_server,
                QStringLiteral("DROP SCHEMA %1 CASCADE; DROP SCHEMA IF EXISTS %1_audit CASCADE").arg(m_name));
    }
    bool ok() const { return m_ok; }
    QString connection() const
    {
        return m_server + QStringLiteral(" options='-csearch_path=%1'").arg(m_name);
    }

private:
    QString m_server;
    QString m_name;
    bool m_ok = false;
};

// A scratch folder in `folder` (on the server's disk, so the file store races on the same
// disk), or in the system's temporary folder without one.
std::unique_ptr<QTemporaryDir> scratch(const QString &folder)
{
    return folder.isEmpty() ? std::make_unique<QTemporaryDir>()
                            : std::make_unique<QTemporaryDir>(folder + QStringLiteral("/scratch-XXXXXX"));
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

// The card's password hashed at the lowest cost its stored form allows. Each checkout checks
// it; at the café's cost that check alone would outweigh the store being measured.
QString cheaplyHashed(const QString &clear)
{
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    if (!crypt_gensalt_rn("$y$", 1, nullptr, 0, salt, sizeof salt))
        return {};
    const QByteArray phrase = clear.toUtf8();
    auto data = std::make_unique<crypt_data>();
    const char *out = crypt_rn(phrase.constData(), salt, data.get(), sizeof *data);
    return out && out[0] != '*' ? QString::fromLatin1(out) : QString();
}

// Seat `seat`'s customer and the card paying for their sessions, hashed as `password`.
bool addCustomerAndCard(Database &db, int seat, const QString &password)
{
    Customer customer;
    customer.number = QStringLiteral("%1").arg(seat, 6, 10, QLatin1Char('0'));
    customer.name = customerOf(seat);
    Card card;
    card.number = cardOf(seat);
    card.password = password;
    card.customer = customer.number;
    // The card's hour costs what the machine's does: it is charged what is received.
    card.total = 3000;
    card.totalHours = 1000;
    card.balance = kCardBalance;
    return CustomerTable(db).add(customer) && CardTable(db).add(card);
}

// One machine, the goods its sessions order, a customer and the card paying for them.
bool prepareCafe(FrontDesk &desk)
{
    Database &db = desk.db();
    // The trail is not part of the transaction compared here.
    if (audit::Recorder *r = audit::Recorder::of(db))
        r->setOn(false);
    const QString password = cheaplyHashed(kCardPassword);
    if (password.isEmpty())
        return false;
    Transaction t(db);
    const bool ok =
        addStandbyMachineAndGoods(db, kGoodsLines) && addCustomerAndCard(db, 1, password) && t.commit();
    if (!ok) {
        std::fprintf(stderr, "cannot prepare the café: %s\n", qPrintable(db.lastError()));
        return false;
    }
    desk.rebuildList();
    return true;
}

// Puts machine `number` into a two-hour session of its customer with its goods ordered.
bool beginSession(Database &db, int number = 1)
{
    Transaction t(db);
    MachineTable machines(db);
    std::optional<Machine> m = machines.byNumber(number);
    if (!m)
        return false;
    m->status = MachineStatus::Billing;
    m->start = Clock::now().addSecs(-7200);
    m->mode = QStringLiteral("N");
    m->customer = customerOf(number);
    bool ok = machines.save(*m);
    OrderTable orders(db);
    for (int i = 0; ok && i < kGoodsLines; ++i)
        ok = orders.add({0, number, articleNumber(i), 2, Clock::now().addSecs(-60)});
    return ok && t.commit();
}

// One checkout paid by the card (or in cash) as the operator makes it; its milliseconds, or
// none when it failed. `charged` adds what the card paid; `trips` receives the round trips to
// a server from opening the checkout to the list refreshed after it.
std::optional<double> timedCheckout(FrontDesk &desk, double *charged, bool card = true,
                                    qint64 *trips = nullptr)
{
    if (!beginSession(desk.db())) {
        std::fprintf(stderr, "cannot start the session: %s\n", qPrintable(desk.db().lastError()));
        return std::nullopt;
    }
    const qint64 tripsBefore = desk.db().roundTrips();
    QElapsedTimer timer;
    timer.start();
    const std::unique_ptr<Checkout> checkout = desk.openCheckout(1);
    if (!checkout) {
        std::fprintf(stderr, "cannot open the checkout\n");
        return std::nullopt;
    }
    if (card) {
        checkout->setUseCard(true);
        checkout->setCard(kCardNumber, kCardPassword);
    }
    const Checkout::Outcome outcome = desk.settle(*checkout, false);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (trips)
        *trips = desk.db().roundTrips() - tripsBefore;
    if (!outcome) {
        std::fprintf(stderr, "checkout failed: %s\n", qPrintable(outcome.error().message));
        return std::nullopt;
    }
    *charged += outcome->cardCharge;
    return ms;
}

// Checkouts per second at `desk`, counting only the checkouts themselves; none when one
// failed or what they wrote does not add up.
std::optional<double> checkoutsPerSecond(FrontDesk &desk)
{
    if (!prepareCafe(desk))
        return std::nullopt;
    double charged = 0;
    double total = 0;
    for (int i = 0; i < kWarmUp + kCheckouts; ++i) {
        const std::optional<double> ms = timedCheckout(desk, &charged);
        if (!ms)
            return std::nullopt;
        if (i >= kWarmUp)
            total += *ms;
    }
    // Every checkout must have left its journal row, its charge on the card and its visit of
    // the customer, and moved the goods lines away.
    Database &db = desk.db();
    const qint64 rows = JournalTable(db).nextId() - 1;
    const QList<Card> cards = CardTable(db).numbered(kCardNumber);
    const double balance = cards.isEmpty() ? -1 : cards.constFirst().balance;
    const std::optional<Customer> customer = CustomerTable(db).byName(kCustomerName);
    const int visits = customer ? customer->visits : -1;
    const qsizetype lines = OrderTable(db).linesOf(1).size();
    if (rows != kWarmUp + kCheckouts || visits != kWarmUp + kCheckouts || lines != 0 || !(charged > 0) ||
        qAbs(balance - (kCardBalance - charged)) > 0.001) {
        std::fprintf(stderr,
                     "the checkouts did not all arrive: %lld journal rows, %d visits, %lld goods lines left, "
                     "card balance %.2f (expected %.2f)\n",
                     rows, visits, qint64(lines), balance, kCardBalance - charged);
        return std::nullopt;
    }
    return kCheckouts / (total / 1000);
}

// The checkout-shaped transaction alone, without the desk around it (reading the machine,
// computing the fee, checking the card, refreshing the list): the machine updated, a journal
// row added, the goods lines moved, the card charged and the customer credited. What the
// engine itself costs, against the desk's checkout above.
std::optional<double> bareTransactionsPerSecond(Database &db)
{
    const std::optional<Machine> machine = MachineTable(db).byNumber(1);
    if (!machine)
        return std::nullopt;
    qint64 ns = 0;
    for (int i = 0; i < kWarmUp + kCheckouts; ++i) {
        {
            Transaction t(db);
            OrderTable orders(db);
            bool ok = true;
            for (int k = 0; ok && k < kGoodsLines; ++k)
                ok = orders.add({0, 1, articleNumber(k), 2, Clock::now()});
            if (!ok || !t.commit())
                return std::nullopt;
        }
        QElapsedTimer timer;
        timer.start();
        Transaction t(db);
        JournalTable journal(db);
        const qint64 id = journal.nextId();
        const bool ok =
            db.cached(QStringLiteral(R"(UPDATE yxsjb SET "已收款" = "已收款" + 1 WHERE rowid = ?)"))
                ->bind(1, machine->rowid)
                .run() &&
            journal.add({id, 1, Clock::now().addSecs(-3600), Clock::now(), QStringLiteral("N"), 3, 3, 0,
                         QString(), kCustomerName, QString(), QString()}) &&
            OrderTable(db).settleLinesOf(1, id) &&
            db.cached(QStringLiteral(R"(UPDATE cjkgl SET "金额" = "金额" - 3 WHERE "卡号" = ?)"))
                ->bind(1, kCardNumber)
                .run() &&
            CustomerTable(db).addVisitByName(kCustomerName, 3, Clock::now()) && t.commit();
        if (!ok) {
            std::fprintf(stderr, "the bare transaction failed: %s\n", qPrintable(db.lastError()));
            return std::nullopt;
        }
        if (i >= kWarmUp)
            ns += timer.nsecsElapsed();
    }
    return kCheckouts / (double(ns) / 1e9);
}

// Round trips to the server of one checkout: opening it, from opening it to the commit, and
// to the list refreshed after it.
struct Trips
{
    qint64 opened = 0;
    qint64 committed = 0;
    qint64 refreshed = 0;
};

// The trips of one checkout, settled as the desk settles it with its refresh counted apart;
// none when it failed.
std::optional<Trips> roundTripsOfCheckout(FrontDesk &desk, bool card)
{
    Database &db = desk.db();
    if (!beginSession(db))
        return std::nullopt;
    const qint64 before = db.roundTrips();
    const std::unique_ptr<Checkout> checkout = desk.openCheckout(1);
    if (!checkout)
        return std::nullopt;
    Trips trips;
    trips.opened = db.roundTrips() - before;
    if (card) {
        checkout->setUseCard(true);
        checkout->setCard(kCardNumber, kCardPassword);
    }
    const Checkout::Outcome outcome =
        desk.commands().run({{}, 0, {}, QStringLiteral("结帐失败")},
                            [&](Effects &effects) { return checkout->settle(effects, false); });
    trips.committed = db.roundTrips() - before;
    if (!outcome) {
        std::fprintf(stderr, "checkout failed: %s\n", qPrintable(outcome.error().message));
        return std::nullopt;
    }
    desk.refresh();
    trips.refreshed = db.roundTrips() - before;
    return trips;
}

// Checkouts at the desk, then the bare transaction, per second; on a server, the round trips
// of a cash and of a card checkout.
struct Rates
{
    double checkouts = 0;
    double bare = 0;
    Trips cash;
    Trips card;
};

std::optional<Rates> ratesOf(FrontDesk &desk)
{
    const std::optional<double> checkouts = checkoutsPerSecond(desk);
    const std::optional<double> bare = checkouts ? bareTransactionsPerSecond(desk.db()) : std::nullopt;
    if (!bare)
        return std::nullopt;
    const std::optional<Trips> cash = roundTripsOfCheckout(desk, false);
    const std::optional<Trips> card = cash ? roundTripsOfCheckout(desk, true) : std::nullopt;
    if (!card)
        return std::nullopt;
    return Rates{*checkouts, *bare, *cash, *card};
}

// The rates on the server at `server` (a connection string), in a schema of its own.
std::optional<Rates> serverRates(const QString &server, const QString &name, const QString &folder)
{
    const Schema schema(
        server, QStringLiteral("bench_checkout_%1_%2").arg(name).arg(QCoreApplication::applicationPid()));
    if (!schema.ok())
        return std::nullopt;
    const std::unique_ptr<QTemporaryDir> dir = scratch(folder);
    FrontDesk desk;
    if (!openCounter(desk, *dir, schema.connection()))
        return std::nullopt;
    const std::optional<Rates> rates = ratesOf(desk);
    desk.store().close();
    return rates;
}

// Milliseconds of processor this process has used.
double ownCpuMs()
{
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    return (used.ru_utime.tv_sec + used.ru_stime.tv_sec) * 1e3 +
           (used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e3;
}

// Milliseconds of processor the server's process `pid` has used (same machine, over the
// socket); 0 when it cannot be read.
double serverCpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return 0;
    // After the command's closing parenthesis: state is field 3, utime and stime 14 and 15.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1e3 / double(sysconf(_SC_CLK_TCK));
}

// One counter of the scaling case, a process of its own: opens the desk on `connection` under
// a name of its own, says "ready", waits for a line, then begins and settles `count` sessions
// of machine `seat` paid by the seat's card, and says "done" with the milliseconds it took and
// the milliseconds of processor it and its server process used meanwhile.
int runCounter(const QString &connection, int seat, int count)
{
    QTemporaryDir dir;
    FrontDesk desk;
    if (!openCounter(desk, dir, connection + QStringLiteral(" application_name=bench_counter%1").arg(seat)))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    qint64 backend = 0;
    {
        Statement s = desk.db().prepare(QStringLiteral("SELECT pg_backend_pid()"));
        backend = s.next() ? s.integer(0) : 0;
    }
    char go[8];
    if (!std::fgets(go, sizeof go, stdin))
        return 1;
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = ownCpuMs();
    const double serverBefore = serverCpuMs(backend);
    for (int i = 0; i < count; ++i) {
        if (!beginSession(desk.db(), seat))
            return 1;
        const std::unique_ptr<Checkout> checkout = desk.openCheckout(seat);
        if (!checkout)
            return 1;
        checkout->setUseCard(true);
        checkout->setCard(cardOf(seat), kCardPassword);
        if (const Checkout::Outcome outcome = desk.settle(*checkout, false); !outcome) {
            std::fprintf(stderr, "counter %d: checkout failed: %s\n", seat,
                         qPrintable(outcome.error().message));
            return 1;
        }
    }
    std::printf("done %.3f %.3f %.3f\n", double(timer.nsecsElapsed()) / 1e6, ownCpuMs() - cpuBefore,
                serverCpuMs(backend) - serverBefore);
    desk.store().close();
    return 0;
}

// Machines 1..kMostCounters with the goods, a customer and a card for each, on `connection`.
bool prepareSeats(const QString &connection)
{
    QTemporaryDir dir;
    FrontDesk desk;
    if (!openCounter(desk, dir, connection + QStringLiteral(" application_name=bench_setup")))
        return false;
    Database &db = desk.db();
    const QString password = cheaplyHashed(kCardPassword);
    Transaction t(db);
    bool ok = !password.isEmpty() && addStandbyMachineAndGoods(db, kGoodsLines);
    for (int seat = 1; ok && seat <= kMostCounters; ++seat) {
        if (seat > 1) {
            Machine m;
            m.number = seat;
            m.name = QStringLiteral("%1号机").arg(seat);
            m.rate = 3;
            m.status = MachineStatus::Standby;
            m.ip = QStringLiteral("127.0.0.%1").arg(seat + 1);
            ok = MachineTable(db).add(m);
        }
        ok = ok && addCustomerAndCard(db, seat, password);
    }
    ok = ok && t.commit();
    if (!ok)
        std::fprintf(stderr, "cannot prepare the counters' café: %s\n", qPrintable(db.lastError()));
    desk.store().close();
    return ok;
}

// Checkouts per second of 1, 2 and kMostCounters counters settling at once, each a process
// with its own connection, machine, customer and card (the trail on, as at a café): the
// aggregate from the moment all are told to go until the last is done; and the processor time
// one checkout of the lone counter took, its own and its server process's. None on a failure
// or when the journal does not hold every checkout.
struct Scaling
{
    std::vector<double> rates;
    double deskCpuMs = 0;
    double serverCpuMs = 0;
};

std::optional<Scaling> scalingRates(const QString &server)
{
    const Schema schema(server, QStringLiteral("bench_scaling_%1").arg(QCoreApplication::applicationPid()));
    if (!schema.ok() || !prepareSeats(schema.connection()))
        return std::nullopt;
    Scaling scaling;
    qint64 settled = 0;
    for (const int n : {1, 2, kMostCounters}) {
        std::vector<std::unique_ptr<QProcess>> counters;
        for (int seat = 1; seat <= n; ++seat) {
            auto counter = std::make_unique<QProcess>();
            counter->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            counter->start(QCoreApplication::applicationFilePath(),
                           {QStringLiteral("--counter"), schema.connection(), QString::number(seat),
                            QString::number(kScalingCheckouts)});
            counters.push_back(std::move(counter));
        }
        for (const auto &counter : counters)
            if (!counter->waitForReadyRead(60000) || !counter->readLine().startsWith("ready")) {
                std::fprintf(stderr, "a counter of the scaling case did not start\n");
                return std::nullopt;
            }
        QElapsedTimer wall;
        wall.start();
        // Written out at once: QProcess only sends what is buffered from an event loop or a
        // wait on that very process, so the counters after the first would start only once
        // the one waited for had finished, one after the other.
        for (const auto &counter : counters)
            if (counter->write("go\n") != 3 || !counter->waitForBytesWritten(10000)) {
                std::fprintf(stderr, "a counter of the scaling case was not told to go\n");
                return std::nullopt;
            }
        for (const auto &counter : counters)
            if (!counter->waitForFinished(600000) || counter->exitCode() != 0) {
                std::fprintf(stderr, "a counter of the scaling case failed\n");
                return std::nullopt;
            }
        scaling.rates.push_back(n * kScalingCheckouts / (double(wall.nsecsElapsed()) / 1e9));
        settled += n * kScalingCheckouts;
        if (n == 1) {
            const QList<QByteArray> done = counters.front()->readAllStandardOutput().trimmed().split(' ');
            if (done.size() == 4 && done.at(0) == "done") {
                scaling.deskCpuMs = done.at(2).toDouble() / kScalingCheckouts;
                scaling.serverCpuMs = done.at(3).toDouble() / kScalingCheckouts;
            }
        }
    }
    Database check;
    if (!check.openServer(schema.connection(), Store::key()) || JournalTable(check).nextId() - 1 != settled) {
        std::fprintf(stderr, "the counters' checkouts did not all arrive\n");
        return std::nullopt;
    }
    return scaling;
}

// Milliseconds one card password check takes at the cost new passwords get.
double passwordCheckMs()
{
    const Result<QString> stored = passwords::hash(kCardPassword);
    if (!stored)
        return -1;
    QElapsedTimer timer;
    timer.start();
    passwords::matches(*stored, kCardPassword);
    return double(timer.nsecsElapsed()) / 1e6;
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

// Two counters on the server: how long after a commit at counter 1 counter 2's machine list
// shows it (the announcement, the gathering window and one pass), against the commit itself.
// The 30-second tick is the backstop it replaces. 0 when measured, else 1.
int notificationLatency(const QString &server)
{
    const Schema schema(server, QStringLiteral("bench_counters_%1").arg(QCoreApplication::applicationPid()));
    if (!schema.ok())
        return 1;
    const QString connection = schema.connection();
    int status = 0;
    QTemporaryDir dir1;
    QTemporaryDir dir2;
    FrontDesk desk1;
    FrontDesk desk2;
    // Each counter under a name of its own: one name runs once.
    if (!openCounter(desk1, dir1, connection + QStringLiteral(" application_name=counter1")) ||
        !openCounter(desk2, dir2, connection + QStringLiteral(" application_name=counter2")))
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
    return status;
}

void printRates(const char *where, const std::optional<Rates> &rates)
{
    if (rates)
        std::printf("  %-34s %8.1f checkouts/s (%.2f ms each); bare transaction %8.1f/s (%.2f ms)\n", where,
                    rates->checkouts, 1000 / rates->checkouts, rates->bare, 1000 / rates->bare);
    else
        std::printf("  %-34s skipped: no database server configured\n", where);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && qstrcmp(argv[1], "--counter") == 0)
        return runCounter(QString::fromUtf8(argv[2]), atoi(argv[3]), atoi(argv[4]));
    QString folder;
    const QString socket = serverConnection(&folder);
    const QString tcp = connectionIn({"CORVANA_BENCH_PG_TCP"}, folder.isEmpty() ? &folder : nullptr);

    const std::unique_ptr<QTemporaryDir> fileDir = scratch(folder);
    std::optional<Rates> file;
    {
        FrontDesk desk;
        if (const Result<> opened = desk.open(fileDir->filePath(Store::fileName())); !opened) {
            std::fprintf(stderr, "cannot open the file store: %s\n", qPrintable(opened.error()));
            return 1;
        }
        file = ratesOf(desk);
        desk.store().close();
        if (!file)
            return 1;
    }
    std::optional<Rates> overSocket;
    if (!socket.isEmpty() && !(overSocket = serverRates(socket, QStringLiteral("socket"), folder)))
        return 1;
    std::optional<Rates> overTcp;
    if (!tcp.isEmpty() && !(overTcp = serverRates(tcp, QStringLiteral("tcp"), folder)))
        return 1;

    std::printf("checkouts paid by a stored-value card, one machine with %d goods lines and a customer;\n"
                "%d checkouts after %d to warm up, only the checkouts timed:\n",
                kGoodsLines, kCheckouts, kWarmUp);
    printRates("file (synchronous FULL):", file);
    printRates("server over its Unix socket:", overSocket);
    printRates("server over TCP (127.0.0.1):", overTcp);
    if (overSocket)
        std::printf("  server over the socket / file: %.2f (aim 1.2: %s); bare transaction %.2f\n",
                    overSocket->checkouts / file->checkouts,
                    overSocket->checkouts / file->checkouts >= 1.2 ? "met" : "NOT met",
                    overSocket->bare / file->bare);
    if (overTcp)
        std::printf("  server over TCP / file:        %.2f; bare transaction %.2f\n",
                    overTcp->checkouts / file->checkouts, overTcp->bare / file->bare);
    if (overSocket) {
        const Trips &cash = overSocket->cash;
        const Trips &card = overSocket->card;
        std::printf("  round trips to the server per checkout, opening the dialog to the commit: cash %lld "
                    "(aim 12 at most: %s), card %lld;\n"
                    "    of which opening %lld; with the list refreshed after it: cash %lld, card %lld\n",
                    cash.committed, cash.committed <= 12 ? "met" : "NOT met", card.committed, cash.opened,
                    cash.refreshed, card.refreshed);
    }
    std::printf("  one card password check at the cost new passwords get: %.1f ms (kept out of the rates:\n"
                "  the card here is hashed at the lowest cost)\n",
                passwordCheckMs());

    if (socket.isEmpty()) {
        std::printf("several counters and notification latency: no database server configured "
                    "(CORVANA_BENCH_PG): skipped\n");
        return 0;
    }
    const std::optional<Scaling> scaling = scalingRates(socket);
    if (!scaling)
        return 1;
    const std::vector<double> &r = scaling->rates;
    std::printf("several counters settling at once over the socket, each a process with its own machine,\n"
                "customer and card, the trail on; %d sessions begun and settled by each:\n"
                "  1 counter %.1f/s; 2 counters %.1f/s, %.2f× (aim 1.6: %s); %d counters %.1f/s, %.2f× "
                "(aim 2.5: %s); on %d processors\n",
                kScalingCheckouts, r[0], r[1], r[1] / r[0], r[1] / r[0] >= 1.6 ? "met" : "NOT met",
                kMostCounters, r[2], r[2] / r[0], r[2] / r[0] >= 2.5 ? "met" : "NOT met",
                QThread::idealThreadCount());
    // However the locks are held, the processors bound what counters add: a checkout needs
    // the desk's and its server process's processor time.
    if (const double cpu = scaling->deskCpuMs + scaling->serverCpuMs; cpu > 0)
        std::printf(
            "  processor time per checkout of the lone counter: desk %.2f ms, its server process %.2f ms;\n"
            "  %d processors settle at most %.0f/s, %.2f× the lone counter\n",
            scaling->deskCpuMs, scaling->serverCpuMs, QThread::idealThreadCount(),
            QThread::idealThreadCount() * 1000 / cpu, QThread::idealThreadCount() * 1000 / cpu / r[0]);
    return notificationLatency(socket);
}
