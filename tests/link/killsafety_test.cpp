// A desk killed with SIGKILL in the middle of its work leaves a store in which every goods
// order and every checkout was written whole or not at all. A child process runs session
// start, a client's goods order and a card checkout in a loop on a real store; it is killed
// at many points (inside statements, just before commits, at random moments), the store is
// reopened after each kill and checked, and the next child carries on from there.
#include "billing/checkout.h"
#include "common/clock.h"
#include "desk/frontdesk.h"
#include "link/requests.h"
#include "store/accounttables.h"
#include "store/database.h"
#include "store/machinetable.h"
#include "support/teststore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sqlcipher/sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

constexpr double kStock = 10000;
constexpr double kBalance = 100000;
const char *const kChildPath = "CORVANA_KILL_CHILD_STORE";
const char *const kChildStep = "CORVANA_KILL_AT_STEP";
const char *const kChildCommit = "CORVANA_KILL_AT_COMMIT";

const QList<request::GoodsItem> kOrder{{u"A"_s, u"可乐"_s, 1}, {u"B"_s, u"面"_s, 2}, {u"C"_s, u"水"_s, 3}};

qint64 g_killAt = 0;
qint64 g_count = 0;

int killAtCount(void *)
{
    if (++g_count == g_killAt)
        raise(SIGKILL);
    return 0;
}

// The child: the work of a busy desk, kSteps times (a session start, an order or a checkout).
constexpr int kSteps = 90;
int runChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The same fee every time: a session checked out in the minute it started.
    Clock::fix(QDateTime(QDate(2002, 3, 14), QTime(12, 0)));
    FrontDesk desk;
    g_killAt = qEnvironmentVariableIntValue(kChildStep);
    if (!desk.open(qEnvironmentVariable(kChildPath)))
        return 2;
    sqlite3 *db = desk.db().handle();
    if (g_killAt > 0)
        sqlite3_progress_handler(db, 1, killAtCount, nullptr);
    if (const qint64 commit = qEnvironmentVariableIntValue(kChildCommit); commit > 0) {
        g_killAt = commit;
        sqlite3_commit_hook(db, killAtCount, nullptr);
    }
    for (int step = 0; step < kSteps; ++step) {
        const std::optional<Machine> m = MachineTable(desk.db()).at(1);
        if (!m)
            return 3;
        if (!m->inSession()) {
            if (!desk.startTiming(1, SessionInput{}, false))
                return 4;
        } else if (OrderTable(desk.db()).linesOf(1).isEmpty()) {
            if (!bookGoodsOrder(desk.db(), 1, kOrder, Clock::now()))
                return 5;
        } else {
            std::unique_ptr<Checkout> c = desk.openCheckout(1);
            c->setUseCard(true);
            c->setCard(u"K1"_s, u"pw"_s);
            if (const Checkout::Outcome done = desk.settle(*c, false); !done) {
                qWarning("checkout refused: %d %s", int(done.error().kind), qPrintable(done.error().message));
                return 6;
            }
        }
    }
    if (qEnvironmentVariableIsSet("CORVANA_KILL_COUNT"))
        qWarning("%lld store steps", g_count);
    return 0;
}

double scalar(Database &db, const QString &sql)
{
    Statement s = db.prepare(sql);
    return s.next() ? s.real(0) : -1;
}

double sumOf(Database &db, const QString &table, const QString &article)
{
    return scalar(db, uR"(SELECT TOTAL("数量") FROM %1 WHERE "商品编号" = '%2')"_s.arg(table, article));
}

} // namespace

class KillSafetyTest final : public QObject
{
    Q_OBJECT

private slots:
    void everyTransactionWholeOrNotAtAll();

private:
    // Runs a child with `environment` until it ends or `killAfterMs` passes; true when it
    // was killed (by itself or by us) rather than ending.
    bool runChild(const QStringList &environment, int killAfterMs);
    // Reopens the store and checks it; counts the checkouts found.
    void check();

    QString m_path;
    double m_perCheckout = 0;
    int m_checkouts = 0;
};

bool KillSafetyTest::runChild(const QStringList &environment, int killAfterMs)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildPath), m_path);
    for (const QString &e : environment)
        env.insert(e.section(u'=', 0, 0), e.section(u'=', 1));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForStarted(10000))
        return false;
    if (killAfterMs > 0 && !child.waitForFinished(killAfterMs))
        child.kill(); // SIGKILL
    child.waitForFinished(30000);
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() != 0)
        qWarning("child failed with %d", child.exitCode());
    return child.exitStatus() == QProcess::CrashExit;
}

void KillSafetyTest::check()
{
    Store store;
    QString error;
    QVERIFY2(store.open(m_path, &error), qPrintable(error));
    Database &db = store.db();
    Statement integrity = db.prepare(u"PRAGMA integrity_check"_s);
    QVERIFY(integrity.next());
    QCOMPARE(integrity.text(0), u"ok"_s);

    // Card and journal: one card payment per journal row, all of the same amount.
    const int journal = int(scalar(db, u"SELECT COUNT(*) FROM sjlszb"_s));
    const Card card = *CardTable(db).byNumber(u"K1"_s);
    QCOMPARE(card.sessions, journal);
    if (journal > 0) {
        if (m_perCheckout == 0)
            m_perCheckout = (kBalance - card.balance) / journal;
        QVERIFY(m_perCheckout > 0);
        QCOMPARE(card.balance, kBalance - journal * m_perCheckout);
    }
    // Goods: every settled session moved one whole order to the journal of goods; the open
    // one holds one whole order or none; the stock went down by exactly what is recorded.
    const Machine m = *MachineTable(db).at(1);
    const double open = sumOf(db, u"splsjlb"_s, u"A"_s);
    QVERIFY2(open == 0 || (open == 1 && m.inSession()), qPrintable(u"open order lines: %1"_s.arg(open)));
    for (const request::GoodsItem &item : kOrder) {
        const double settled = sumOf(db, u"khspb"_s, item.article);
        const double pending = sumOf(db, u"splsjlb"_s, item.article);
        QCOMPARE(settled, double(journal * item.quantity));
        QCOMPARE(pending, open * item.quantity);
        QCOMPARE(scalar(db, uR"(SELECT "库存数量" FROM spkcb WHERE "商品编号" = '%1')"_s.arg(item.article)),
                 kStock - settled - pending);
    }
    // The machine row: a session, or reset by its checkout.
    QCOMPARE(m.status == MachineStatus::Billing, m.start.isValid());
    m_checkouts = journal;
}

void KillSafetyTest::everyTransactionWholeOrNotAtAll()
{
    TestStore store;
    store.setTariff(2, 1);
    store.addMachine(1, 3, MachineStatus::Standby);
    for (const request::GoodsItem &item : kOrder)
        store.addArticle(item.article, item.name, 2, kStock);
    CardTable(store.db())
        .add({0, u"K1"_s, kBalance, kBalance / 3, u"pw"_s, {}, 0, 0, kBalance}); // 3 yuan an hour
    store.store().close();
    // A process killed loses nothing the kernel holds, so the disk's flushes prove nothing
    // here and only make the test slow: the store runs from memory where there is some.
    QTemporaryDir memory(QDir(u"/dev/shm"_s).exists() ? u"/dev/shm/corvana-kill-XXXXXX"_s : QString());
    QVERIFY(memory.isValid());
    m_path = memory.filePath(u"dbase.mdb"_s);
    QVERIFY(QFile::copy(store.path(), m_path));

    // A run without a kill: the loop works, and gives the figures the checks expect.
    QVERIFY(!runChild({}, 0));
    check();
    QVERIFY(m_checkouts >= kSteps / 3);

    int kills = 0;
    // Inside statements: after n steps of the store's virtual machine (a full run takes about
    // 3,400), spread evenly over the run.
    for (qint64 n = 5; n < 3400; n += 89) {
        kills += runChild({u"%1=%2"_s.arg(QString::fromLatin1(kChildStep)).arg(n)}, 0);
        check();
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(u"inconsistent after a kill at step %1"_s.arg(n)));
    }
    // Just before the n-th commit (a session start, an order or a checkout).
    for (int n = 1; n <= 12; ++n) {
        kills += runChild({u"%1=%2"_s.arg(QString::fromLatin1(kChildCommit)).arg(n)}, 0);
        check();
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(u"inconsistent after a kill at commit %1"_s.arg(n)));
    }
    // At random moments, from outside, as the operator's kill -9 would.
    QRandomGenerator random(14);
    for (int i = 0; i < 12; ++i) {
        const int ms = 40 + random.bounded(150);
        kills += runChild({}, ms);
        check();
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(u"inconsistent after a kill at %1 ms"_s.arg(ms)));
    }
    qInfo("%d kills, %d checkouts in the store, all consistent", kills, m_checkouts);
    QVERIFY(kills >= 40);
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(kChildPath))
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    KillSafetyTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "killsafety_test.moc"
