// Branches of a chain on one server: each has its own tables, all share the customers and cards.

#include "billing/checkout.h"
#include "billing/machinelist.h"
#include "common/clock.h"
#include "store/accounttables.h"
#include "store/backup.h"
#include "store/serverengine.h"
#include "store/serverlink.h"
#include "support/testcommands.h"
#include "support/testserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTest>
#include <latch>
#include <thread>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

// A chain's schema and two branch schemas; the branches open on them.
struct Chain
{
    explicit Chain(bool atOnce)
    {
        if (!atOnce) {
            a.emplace(branch(ownA));
            b.emplace(branch(ownB));
            return;
        }
        // Both create the shared tables at the same moment: one must wait for the other.
        std::latch start(2);
        std::thread first([&] {
            start.arrive_and_wait();
            a.emplace(branch(ownA));
        });
        start.arrive_and_wait();
        b.emplace(branch(ownB));
        first.join();
    }

    QString branch(const ServerSchema &own) const
    {
        return testserver::connection() + u" options='-csearch_path=%1,%2'"_s.arg(own.name(), shared.name());
    }

    ServerSchema shared, ownA, ownB;
    std::optional<TestStore> a, b;
};

// The tables other connections changed, as `db` hears of them, once `table` is among them.
QStringList heard(Database &db, const QString &table)
{
    QStringList tables;
    // A table that never comes shows in the comparison of what was heard.
    (void)QTest::qWaitFor(
        [&] {
            tables << db.serverLink()->takeNotifications();
            return tables.contains(table);
        },
        5000);
    tables.sort();
    tables.removeDuplicates();
    return tables;
}

Card tenYuanCard() // 100 yuan for 50 hours: 2 yuan per hour
{
    return {.rowid = 0, .number = u"C1"_s, .total = 100, .totalHours = 50, .password = u"pw"_s,
            .customer = u"00000001"_s, .usedHours = 0, .sessions = 0, .balance = 10};
}

qint64 countOf(Database &db, const QString &sql)
{
    Statement s = db.prepare(sql);
    return s.next() ? s.integer(0) : -1;
}

} // namespace

class ChainTest : public QObject
{
    Q_OBJECT

private slots:
    void cardSoldInOneBranchPaysInAnother_data()
    {
        QTest::addColumn<bool>("atOnce");
        QTest::newRow("branches opened in turn") << false;
        QTest::newRow("branches opened at once") << true;
    }

    void cardSoldInOneBranchPaysInAnother()
    {
        QFETCH(bool, atOnce);
        SKIP_WITHOUT_SERVER(true);
        Clock::fix(kNow);
        Chain chain(atOnce);
        Database &a = chain.a->db();
        Database &b = chain.b->db();

        chain.a->addCustomer(u"00000001"_s, u"张伟"_s);
        QVERIFY(CardTable(a).add(tenYuanCard()));
        QVERIFY(heard(b, u"cjkgl"_s).contains(u"cjkgl"));

        chain.b->setTariff(1, 1);
        chain.b->addMachine(1, 2, MachineStatus::Standby); // 180 minutes at 2 yuan: 6 yuan
        chain.b->startSession(1, kNow.addSecs(-180 * 60));
        MachineList list;
        Checkout checkout(BillingScope{b, list}, u"小王"_s);
        QVERIFY(checkout.open(1));
        checkout.setReceivedText(u"6"_s);
        checkout.setUseCard(true);
        checkout.setCard(u"C1"_s, u"pw"_s);
        const Checkout::Outcome paid = TestCommands(b).run([&](Effects &e) { return checkout.settle(e); });
        QVERIFY2(paid, paid ? "" : qPrintable(paid.error().message));

        QCOMPARE(CardTable(a).byNumber(u"C1"_s)->balance, 4.0);
        QCOMPARE(CustomerTable(a).all().value(0).spent, 6.0);
        QCOMPARE(countOf(b, u"SELECT count(*) FROM sjlszb"_s), 1);
        QCOMPARE(countOf(a, u"SELECT count(*) FROM sjlszb"_s), 0);
        // Branch A hears of the chain's tables only, not of B's own.
        QCOMPARE(heard(a, u"cjkgl"_s), (QStringList{u"cjkgl"_s, u"khglb"_s}));
        Clock::release();
    }

    void branchRestoreLeavesTheChainAlone_data()
    {
        QTest::addColumn<bool>("byTool");
        QTest::newRow("restore") << false;
        QTest::newRow("corvana-store copy") << true;
    }

    void branchRestoreLeavesTheChainAlone()
    {
        QFETCH(bool, byTool);
        SKIP_WITHOUT_SERVER(true);
        Chain chain(false);
        Database &a = chain.a->db();
        chain.a->addCustomer(u"00000001"_s, u"张伟"_s);
        QVERIFY(CardTable(a).add(tenYuanCard()));
        chain.a->addMachine(1);
        const QString saved = QDir(chain.a->dir()).filePath(u"a.bak"_s);
        QVERIFY(backup::backUp(a, chain.a->path(), saved));

        // Later, branch B spends from the card and A gets a second machine.
        QVERIFY(chain.b->db().exec(uR"(UPDATE cjkgl SET "金额" = 4)"_s));
        chain.a->addMachine(2);

        QString kept;
        if (byTool) {
            QProcess tool;
            tool.setProcessChannelMode(QProcess::MergedChannels);
            tool.start(QCoreApplication::applicationDirPath() + u"/corvana-store"_s,
                       {u"copy"_s, u"--force"_s, saved,
                        u"pg:"_s + chain.branch(chain.ownA)});
            QVERIFY(tool.waitForFinished(60000));
            const QString output = QString::fromUtf8(tool.readAll());
            QVERIFY2(tool.exitCode() == 0 && output.contains(u"left cjkgl, khglb as they were"),
                     qPrintable(output));
        } else {
            const Result<QString> restored = backup::restoreInto(a, saved, chain.a->dir(), kNow);
            QVERIFY2(restored, restored ? "" : qPrintable(restored.error()));
            kept = *restored;
        }
        QCOMPARE(countOf(a, u"SELECT count(*) FROM yxsjb"_s), 1);
        QCOMPARE(countOf(a, uR"(SELECT count(*) FROM cjkgl WHERE "金额" = 4)"_s), 1);
        QCOMPARE(countOf(a, u"SELECT count(*) FROM khglb"_s), 1);
        // Every backup of a branch holds all its tables, the shared ones too.
        for (const auto &[file, balance, machines] : {std::tuple{saved, 10.0, 1}, std::tuple{kept, 4.0, 2}}) {
            if (file.isEmpty())
                continue;
            Database copy;
            QVERIFY(copy.open(file, Store::key(), false));
            QCOMPARE(CardTable(copy).byNumber(u"C1"_s)->balance, balance);
            QCOMPARE(countOf(copy, u"SELECT count(*) FROM yxsjb"_s), machines);
        }
    }

    void remoteServersAreReachedEncrypted_data()
    {
        QTest::addColumn<QString>("connection");
        QTest::addColumn<QString>("forced");
        const QString require = u"require"_s;
        QTest::newRow("socket, loopback names and addresses")
            << u"host=/run/postgresql,localhost,127.8.0.1,::1 sslmode=disable"_s << QString();
        QTest::newRow("tunnel to loopback") << u"host=db.example hostaddr=127.0.0.1"_s << QString();
        QTest::newRow("URI, look-alike name") << u"postgresql://127.0.0.1.example/cafe?sslmode=prefer"_s << require;
        QTest::newRow("one of two remote, disable") << u"host=localhost,192.168.1.20 sslmode=disable"_s << require;
        QTest::newRow("verify-full") << u"host=db.example sslmode=verify-full"_s << QString();
    }

    void remoteServersAreReachedEncrypted()
    {
        QFETCH(QString, connection);
        QFETCH(QString, forced);
        QCOMPARE(QString::fromUtf8(ServerEngine::requiredSslMode(connection)), forced);
    }
};

QTEST_GUILESS_MAIN(ChainTest)
#include "chain_test.moc"
