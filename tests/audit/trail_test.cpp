#include "audit/trail.h"
#include "store/database.h"
#include "store/store.h"
#include "support/teststore.h"

#include <QDir>
#include <QTest>

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

// A store with its trail attached and three entries in it.
struct Fixture
{
    Fixture()
    {
        if (!audit::attach(t.db(), trailPath()))
            qFatal("cannot attach the trail");
        audit::append(t.db(), entry(QStringLiteral("开始记费"), 3, QString(), 0));
        audit::append(t.db(), entry(QStringLiteral("结帐"), 3, QStringLiteral("应收 12 实收 10"), 90));
        audit::append(t.db(), entry(QStringLiteral("储金卡"), 0, QStringLiteral("金额 50 → 80"), 95));
    }
    QString trailPath() const { return QDir(t.dir()).filePath(QStringLiteral("audit.db")); }

    TestStore t;
};

} // namespace

class TrailTest : public QObject
{
    Q_OBJECT

private slots:
    void entriesAreChainedAndFound()
    {
        Fixture f;
        QCOMPARE(audit::verificationText(audit::verify(f.t.db())), QStringLiteral("记录完整，共3条"));
        const QList<audit::Entry> all = audit::entries(f.t.db(), {}, {}, {}, 0, {});
        QCOMPARE(all.size(), 3);
        QCOMPARE(all.at(1).details, QStringLiteral("应收 12 实收 10"));
        QCOMPARE(audit::anchor(f.t.db()), all.at(2).hash.left(16));
        QCOMPARE(audit::entries(f.t.db(), {}, {}, {}, 3, {}).size(), 2);
        QCOMPARE(audit::entries(f.t.db(), {}, {}, {}, 0, QStringLiteral("结帐")).size(), 1);
        QCOMPARE(audit::entries(f.t.db(), kNow.addSecs(60), kNow.addSecs(95 * 60), {}, 0, {}).size(), 2);
        QCOMPARE(audit::entries(f.t.db(), {}, {}, QStringLiteral("老李"), 0, {}).size(), 0);
    }

    void entryGoesWithItsTransaction()
    {
        Fixture f;
        {
            Transaction t(f.t.db());
            QVERIFY(audit::append(f.t.db(), entry(QStringLiteral("换机"), 4, QString())));
            // not committed: the action did not happen, so neither did its entry
        }
        QCOMPARE(audit::verify(f.t.db()).value_or(-1), 3);
    }

    void unwrittenEntriesAreSaidOnceAndRecordedLater()
    {
        Fixture f;
        audit::Recorder recorder(f.t.db());
        recorder.setOn(true);
        recorder.setOperator(QStringLiteral("小王"));
        int notices = 0;
        recorder.setFailureNotice([&] { ++notices; });
        f.t.db().failWritesAfter(0);
        QVERIFY(!recorder.append(QStringLiteral("开始记费"), 1, QString()));
        QVERIFY(!recorder.append(QStringLiteral("开始记费"), 2, QString()));
        QCOMPARE(notices, 1);
        f.t.db().failWritesAfter(-1);
        QVERIFY(recorder.append(QStringLiteral("结帐"), 1, QString()));
        const QList<audit::Entry> all = audit::entries(f.t.db(), {}, {}, {}, 0, {});
        QCOMPARE(all.size(), 5);
        QCOMPARE(all.at(3).kind, QStringLiteral("记录失败"));
        QCOMPARE(all.at(3).details, QStringLiteral("2条操作没有记录下来"));
        QCOMPARE(all.at(4).kind, QStringLiteral("结帐"));
        // A later failure is said again.
        f.t.db().failWritesAfter(0);
        QVERIFY(!recorder.append(QStringLiteral("结帐"), 2, QString()));
        f.t.db().failWritesAfter(-1);
        QCOMPARE(notices, 2);
    }

    void tamperingIsFoundAtItsEntry_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("text");
        QTest::newRow("changed") << QStringLiteral("UPDATE trail SET details = '应收 12 实收 12' WHERE seq = 2")
                                 << QStringLiteral("第2条记录起已被改动！");
        QTest::newRow("deleted") << QStringLiteral("DELETE FROM trail WHERE seq = 2")
                                 << QStringLiteral("第2条记录起已被改动！");
        QTest::newRow("swapped")
            << QStringLiteral("UPDATE trail SET seq = -2 WHERE seq = 2; UPDATE trail SET seq = 2 WHERE seq = 3; "
                              "UPDATE trail SET seq = 3 WHERE seq = -2")
            << QStringLiteral("第2条记录起已被改动！");
        QTest::newRow("first removed") << QStringLiteral("DELETE FROM trail WHERE seq = 1")
                                       << QStringLiteral("第1条记录起已被改动！");
        QTest::newRow("rewritten last") << QStringLiteral("UPDATE trail SET operator = '老李' WHERE seq = 3")
                                        << QStringLiteral("第3条记录起已被改动！");
    }
    void tamperingIsFoundAtItsEntry()
    {
        QFETCH(QString, sql);
        QFETCH(QString, text);
        Fixture f;
        {
            // Someone with the key edits the file with another program.
            Database other;
            QVERIFY(other.open(f.trailPath(), Store::key(), false));
            QVERIFY(other.exec(sql));
        }
        QCOMPARE(audit::verificationText(audit::verify(f.t.db())), text);
    }
};

QTEST_MAIN(TrailTest)
#include "trail_test.moc"
