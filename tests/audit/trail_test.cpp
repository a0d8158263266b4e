#include "support/testserver.h"
#include "audit/trail.h"
#include "store/database.h"
#include "store/store.h"
#include "support/teststore.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QSysInfo>
#include <QTest>
#include <QThread>
#include <thread>

namespace {

const QDateTime kNow(QDate(2002, 3, 15), QTime(21, 0));

audit::Entry entry(const QString &kind, int machine, const QString &details, int minutes = 0)
{
    audit::Entry e;
    e.time = kNow.addSecs(60 * minutes);
    e.operatorName = QStringLiteral("小王");
    e.machine = machine;
    e.kind = kind;
    e.details = details;
    return e;
}

void addEngines()
{
    QTest::addColumn<bool>("onServer");
    QTest::newRow("file") << false;
    QTest::newRow("server") << true;
}

// A store on the file or on the server with its trail and three entries in it. On the server
// the trail gets a schema of its own per case, dropped at the end.
struct Fixture
{
    explicit Fixture(bool onServer) : s(onServer)
    {
        if (onServer) {
            static int serial = 0;
            auditSchema = QStringLiteral("audit_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
        }
        if (!audit::attach(db(), trailPath(), auditSchema.isEmpty() ? QStringLiteral("audit") : auditSchema))
            qFatal("cannot attach the trail: %s", qPrintable(db().lastError()));
        audit::append(db(), entry(QStringLiteral("开始记费"), 3, QString(), 0));
        audit::append(db(), entry(QStringLiteral("结帐"), 3, QStringLiteral("应收 12 实收 10"), 90));
        audit::append(db(), entry(QStringLiteral("储金卡"), 0, QStringLiteral("金额 50 → 80"), 95));
        audit::settle(db());
    }
    ~Fixture()
    {
        if (!auditSchema.isEmpty())
            tamper(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(auditSchema));
    }
    Database &db() { return s.t->db(); }
    QString trailPath() const { return QDir(s.t->dir()).filePath(QStringLiteral("audit.db")); }

    // Someone with the key edits the trail with another program; `sql` names the table "trail".
    bool tamper(QString sql)
    {
        if (!auditSchema.isEmpty()) {
            testserver::administer(sql.replace(QStringLiteral(" trail "), u' ' + auditSchema + QStringLiteral(".trail ")));
            return true;
        }
        Database other;
        return other.open(trailPath(), Store::key(), false) && other.exec(sql);
    }

    EngineStore s;
    QString auditSchema;
};

QString sha256(const QStringList &fields)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(fields.join(QChar(0x1f)).toUtf8(), QCryptographicHash::Sha256).toHex());
}

} // namespace

class TrailTest : public QObject
{
    Q_OBJECT

private slots:
    void entriesAreChainedAndFound_data() { addEngines(); }
    void entriesAreChainedAndFound()
    {
        QFETCH(bool, onServer);
        SKIP_WITHOUT_SERVER(onServer);
        Fixture f(onServer);
        QCOMPARE(audit::verificationText(audit::verify(f.db())), QStringLiteral("记录完整，共3条"));
        const QList<audit::Entry> all = audit::entries(f.db(), {}, {}, {}, 0, {});
        QCOMPARE(all.size(), 3);
        QCOMPARE(all.at(1).details, QStringLiteral("应收 12 实收 10"));
        QCOMPARE(all.at(1).time, kNow.addSecs(90 * 60));
        QCOMPARE(audit::anchor(f.db()), all.at(2).hash.left(16));
        QCOMPARE(audit::entries(f.db(), {}, {}, {}, 3, {}).size(), 2);
        QCOMPARE(audit::entries(f.db(), {}, {}, {}, 0, QStringLiteral("结帐")).size(), 1);
        QCOMPARE(audit::entries(f.db(), kNow.addSecs(60), kNow.addSecs(95 * 60), {}, 0, {}).size(), 2);
        QCOMPARE(audit::entries(f.db(), {}, {}, QStringLiteral("老李"), 0, {}).size(), 0);

        // The file's hash is what it always was, so older trails still verify; on a server
        // the counter is one more field of it.
        QStringList fields{QString(),
                           QStringLiteral("1"),
                           QStringLiteral("2002-03-15 21:00:00"),
                           QStringLiteral("小王"),
                           QStringLiteral("3"),
                           QStringLiteral("开始记费"),
                           QString()};
        const QString counter = onServer ? QSysInfo::machineHostName() : QString();
        QCOMPARE(all.at(0).counter, counter);
        if (onServer)
            fields << counter;
        QCOMPARE(all.at(0).hash, sha256(fields));
    }

    void entryGoesWithItsTransaction_data() { addEngines(); }
    void entryGoesWithItsTransaction()
    {
        QFETCH(bool, onServer);
        SKIP_WITHOUT_SERVER(onServer);
        Fixture f(onServer);
        {
            Transaction t(f.db());
            QVERIFY(audit::append(f.db(), entry(QStringLiteral("换机"), 4, QString())));
            // not committed: the action did not happen, so neither did its entry
        }
        QCOMPARE(audit::verify(f.db()).value_or(-1), 3);
    }

    // On the file an entry waits in the store file until it is moved into the trail file: read
    // the same before and after, moved all or none, once, and what a restored store brings back
    // of entries already moved is neither read twice nor moved again.
    void waitingEntriesAreReadThenMovedOnce()
    {
        Fixture f(false);
        QVERIFY(audit::append(f.db(), entry(QStringLiteral("结帐"), 4, QStringLiteral("应收 3 实收 3"), 100)));
        QVERIFY(audit::append(f.db(), entry(QStringLiteral("开始记费"), 5, QString(), 101)));
        auto count = [&](const QString &table) {
            Statement s = f.db().prepare(QStringLiteral("SELECT count(*) FROM ") + table);
            return s.next() ? s.integer(0) : -1;
        };
        auto check = [&](qint64 waiting, qint64 moved) {
            QCOMPARE(count(QStringLiteral("main.trail_pending")), waiting);
            QCOMPARE(count(QStringLiteral("audit.trail")), moved);
            QCOMPARE(audit::verificationText(audit::verify(f.db())), QStringLiteral("记录完整，共5条"));
            const QList<audit::Entry> all = audit::entries(f.db(), {}, {}, {}, 0, {});
            QCOMPARE(all.size(), 5);
            QCOMPARE(all.at(3).machine, 4);
            QCOMPARE(audit::anchor(f.db()), all.at(4).hash.left(16));
        };
        check(2, 3);

        f.db().failCommitsAfter(0);
        QVERIFY(!audit::settle(f.db()));
        f.db().failCommitsAfter(-1);
        check(2, 3);

        QVERIFY(audit::settle(f.db()));
        check(0, 5);

        QVERIFY(f.db().exec(QStringLiteral("INSERT INTO main.trail_pending SELECT * FROM audit.trail WHERE seq >= 4")));
        check(2, 5);
        QVERIFY(audit::settle(f.db()));
        check(0, 5);
        QVERIFY(audit::append(f.db(), entry(QStringLiteral("结帐"), 5, QStringLiteral("应收 2 实收 2"), 130)));
        QCOMPARE(audit::verify(f.db()).value_or(-1), 6);
    }

    void unwrittenEntriesAreSaidOnceAndRecordedLater()
    {
        Fixture f(false);
        audit::Recorder recorder(f.db());
        recorder.setOn(true);
        recorder.setOperator(QStringLiteral("小王"));
        int notices = 0;
        recorder.setFailureNotice([&] { ++notices; });
        f.db().failWritesAfter(0);
        QVERIFY(!recorder.append(QStringLiteral("开始记费"), 1, QString()));
        QVERIFY(!recorder.append(QStringLiteral("开始记费"), 2, QString()));
        QCOMPARE(notices, 1);
        f.db().failWritesAfter(-1);
        QVERIFY(recorder.append(QStringLiteral("结帐"), 1, QString()));
        const QList<audit::Entry> all = audit::entries(f.db(), {}, {}, {}, 0, {});
        QCOMPARE(all.size(), 5);
        QCOMPARE(all.at(3).kind, QStringLiteral("记录失败"));
        QCOMPARE(all.at(3).details, QStringLiteral("2条操作没有记录下来"));
        QCOMPARE(all.at(4).kind, QStringLiteral("结帐"));
        // A later failure is said again.
        f.db().failWritesAfter(0);
        QVERIFY(!recorder.append(QStringLiteral("结帐"), 2, QString()));
        f.db().failWritesAfter(-1);
        QCOMPARE(notices, 2);
    }

    void tamperingIsFoundAtItsEntry_data()
    {
        QTest::addColumn<bool>("onServer");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("text");
        QTest::newRow("changed") << false << QStringLiteral("UPDATE trail SET details = '应收 12 实收 12' WHERE seq = 2")
                                 << QStringLiteral("第2条记录起已被改动！");
        QTest::newRow("deleted") << false << QStringLiteral("DELETE FROM trail WHERE seq = 2")
                                 << QStringLiteral("第2条记录起已被改动！");
        QTest::newRow("swapped") << false
                                 << QStringLiteral("UPDATE trail SET seq = -2 WHERE seq = 2; UPDATE trail SET seq = 2 "
                                                   "WHERE seq = 3; UPDATE trail SET seq = 3 WHERE seq = -2")
                                 << QStringLiteral("第2条记录起已被改动！");
        QTest::newRow("first removed") << false << QStringLiteral("DELETE FROM trail WHERE seq = 1")
                                       << QStringLiteral("第1条记录起已被改动！");
        QTest::newRow("rewritten last") << false << QStringLiteral("UPDATE trail SET operator = '老李' WHERE seq = 3")
                                        << QStringLiteral("第3条记录起已被改动！");
        // The walk is the same on both engines; the server adds what it stores apart.
        QTest::newRow("server: changed") << true << QStringLiteral("UPDATE trail SET details = '应收 12 实收 12' WHERE seq = 2")
                                         << QStringLiteral("第2条记录起已被改动！");
        QTest::newRow("server: counter changed")
            << true << QStringLiteral("UPDATE trail SET counter = '柜台2' WHERE seq = 2")
            << QStringLiteral("第2条记录起已被改动！");
    }
    void tamperingIsFoundAtItsEntry()
    {
        QFETCH(bool, onServer);
        QFETCH(QString, sql);
        QFETCH(QString, text);
        SKIP_WITHOUT_SERVER(onServer);
        Fixture f(onServer);
        QVERIFY(f.tamper(sql));
        QCOMPARE(audit::verificationText(audit::verify(f.db())), text);
    }

    // Counters on one server write one chain, each entry naming its counter; one writing while
    // another's entry is not yet committed waits for it and chains onto it.
    void countersShareOneChain()
    {
        SKIP_WITHOUT_SERVER(true);
        Fixture f(true);
        TestStore second(f.s.schema->connection() + QStringLiteral(" application_name=kasse2"));
        QVERIFY(audit::attach(second.db(), QString(), f.auditSchema));
        QCOMPARE(audit::counterName(second.db()), QStringLiteral("kasse2"));
        QVERIFY(audit::append(second.db(), entry(QStringLiteral("结帐"), 5, QString(), 100)));
        bool written = false;
        {
            Transaction open(f.db());
            QVERIFY(audit::append(f.db(), entry(QStringLiteral("结帐"), 6, QString(), 101)));
            std::thread other([&] {
                written = bool(audit::append(second.db(), entry(QStringLiteral("换机"), 7, QString(), 102)));
            });
            QThread::msleep(300);
            const bool committed = open.commit();
            other.join();
            QVERIFY(committed);
        }
        QVERIFY(written);

        QCOMPARE(audit::verificationText(audit::verify(f.db())), QStringLiteral("记录完整，共6条"));
        QStringList counters;
        for (const audit::Entry &e : audit::entries(second.db(), {}, {}, {}, 0, {}))
            counters << e.counter + u':' + QString::number(e.machine);
        const QString here = QSysInfo::machineHostName();
        QCOMPARE(counters, (QStringList{here + QStringLiteral(":3"), here + QStringLiteral(":3"),
                                        here + QStringLiteral(":0"), QStringLiteral("kasse2:5"),
                                        here + QStringLiteral(":6"), QStringLiteral("kasse2:7")}));
    }

    // Two cafés on one server (or two branches of a chain) each keep a trail of their own.
    void eachCafeOnAServerKeepsItsOwnTrail()
    {
        SKIP_WITHOUT_SERVER(true);
        EngineStore cafes[2]{EngineStore(true), EngineStore(true)};
        for (int i = 0; i < 2; ++i) {
            QVERIFY(audit::attach(cafes[i].t->db(), QString()));
            QVERIFY(audit::append(cafes[i].t->db(), entry(QStringLiteral("结帐"), i + 1, QString())));
        }
        for (int i = 0; i < 2; ++i) {
            const QList<audit::Entry> own = audit::entries(cafes[i].t->db(), {}, {}, {}, 0, {});
            QCOMPARE(own.size(), 1);
            QCOMPARE(own.constFirst().machine, i + 1);
        }
    }
};

QTEST_MAIN(TrailTest)
#include "trail_test.moc"
