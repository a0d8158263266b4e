// Backups, restores and moves between the store file and a database server: whatever the
// engines, the rows, their values and their table order arrive unchanged.

#include "store/backup.h"
#include "store/database.h"
#include "store/machinetable.h"
#include "store/store.h"
#include "support/testserver.h"
#include "support/teststore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2002, 3, 15), QTime(9, 30, 5));

// A café whose rows test what a copy can get wrong: a gap in the row keys, NULLs beside empty
// texts, a colour past 32 bits, amounts a float would round, quotes and Chinese text.
void fillCafe(Database &db)
{
    const char16_t *const rows[] = {
        uR"(INSERT INTO yxsjb ("机号", "名称", "IP", "单位费用", "状态", "开始时间", "已收款", "上机方式")
            VALUES (1, '1号机', '10.0.0.1', 3, 'Y', '2002-03-15 08:00:00', 12345.67, 'N'))",
        uR"(INSERT INTO yxsjb ("机号", "名称", "IP", "单位费用") VALUES (2, '2号机', '10.0.0.2', 3))",
        uR"(INSERT INTO yxsjb ("机号", "名称", "IP", "单位费用", "状态") VALUES (3, '贵宾''s 机', '', 4.5, 'S'))",
        uR"(DELETE FROM yxsjb WHERE "机号" = 2)",
        uR"(INSERT INTO splsjlb ("机号", "商品编号", "数量", "时间") VALUES (1, '00000001', 2, '2002-03-15 08:10:00'))",
        uR"(INSERT INTO spkcb ("商品编号", "商品名称", "进货价格", "零售价格", "库存数量")
            VALUES ('00000001', '可乐', 1.6, 3, 46), ('00000002', '方便面', 2, 4, 0.1))",
        uR"(INSERT INTO sjlszb ("ID", "机号", "开始时间", "结束时间", "上机方式", "应收款", "实收款", "结帐人")
            VALUES (1, 3, '2002-03-14 20:00:00', '2002-03-14 23:59:59', 'P', 10, 10, '小王'))",
        uR"(INSERT INTO khspb ("ID", "机号", "商品编号", "数量", "时间") VALUES (1, 3, '00000002', 1, '2002-03-14 21:00:00'))",
        uR"(INSERT INTO khspb ("机号", "商品编号", "数量", "时间") VALUES (-1, '00000001', 1, '2002-03-15 07:00:00'))",
        uR"(INSERT INTO cjkgl ("卡号", "总金额", "总机时", "密码", "客户编号", "已用机时", "上机次数", "金额")
            VALUES ('86100001', 100, 25, '1234', '00000001', 2.3, 7, 90.8))",
        uR"(UPDATE xtsz SET "通宵金额" = 12.5)",
        uR"(INSERT INTO yhszb ("用户名称", "用户密码", "权限") VALUES ('老板', '', 'D'))",
        uR"(INSERT INTO khglb ("编号", "客户姓名", "证件", "证件号码", "E-Mail", "消费额", "消费次数")
            VALUES ('00000001', '张伟', '身份证', '110105198503072316', 'zw@example.com', 126.3, 14))",
        uR"(INSERT INTO quickhttp ("网站名称", "网站地址") VALUES ('新闻', 'http://news.example/?a=1&b=''2'''))",
        uR"(INSERT INTO hickhttp ("网站") VALUES ('bad.example'))",
    };
    for (const char16_t *sql : rows)
        QVERIFY2(db.exec(QString::fromUtf16(sql)), qPrintable(db.lastError()));
}

// What another café, or the same one on another day, holds instead.
void fillOther(Database &db)
{
    QVERIFY2(db.exec(QStringLiteral(R"(INSERT INTO yxsjb ("机号", "名称") VALUES (1, '旧机'))")),
             qPrintable(db.lastError()));
}

QStringList dumpOf(const QString &storeFile)
{
    Database db;
    if (!db.open(storeFile, Store::key(), false))
        return {QStringLiteral("cannot open ") + storeFile + QStringLiteral(": ") + db.lastError()};
    return tableDump(db);
}

// The dump of a file store filled by `fill`: what every copy of that café must dump as.
QStringList referenceDump(void (*fill)(Database &))
{
    TestStore reference;
    fill(reference.db());
    return tableDump(reference.db());
}

QString toolPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/corvana-store");
}

int runTool(const QStringList &arguments, QString *output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(toolPath(), arguments);
    if (!p.waitForFinished(60000))
        return -1;
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class ServerCopyTest : public QObject
{
    Q_OBJECT

private slots:
    void backupRestoresOntoEitherEngine_data()
    {
        QTest::addColumn<bool>("sourceOnServer");
        QTest::addColumn<bool>("targetOnServer");
        QTest::newRow("file to file") << false << false;
        QTest::newRow("file to server") << false << true;
        QTest::newRow("server to file") << true << false;
        QTest::newRow("server to server") << true << true;
    }

    void backupRestoresOntoEitherEngine()
    {
        QFETCH(bool, sourceOnServer);
        QFETCH(bool, targetOnServer);
        SKIP_WITHOUT_SERVER(sourceOnServer || targetOnServer);
        const QStringList cafe = referenceDump(fillCafe);
        const QStringList other = referenceDump(fillOther);

        EngineStore source(sourceOnServer);
        fillCafe(source.t->db());
        // A stray store file beside a server's connection file holds none of its data.
        if (sourceOnServer)
            QVERIFY(QFile::copy(QFINDTESTDATA("servercopy_test.cpp"), source.t->path()));
        const QString backupFile = QDir(source.t->dir()).filePath(backup::defaultName(kNow.date()));
        const Result<> saved = backup::backUp(source.t->db(), source.t->path(), backupFile);
        QVERIFY2(saved, saved ? "" : qPrintable(saved.error()));
        QCOMPARE(dumpOf(backupFile), cafe);

        EngineStore target(targetOnServer);
        TestStore &t = *target.t;
        fillOther(t.db());
        Result<QString> kept;
        if (targetOnServer) {
            kept = backup::restoreInto(t.db(), backupFile, t.dir(), kNow);
        } else {
            t.store().close();
            kept = backup::restore(t.path(), backupFile, kNow);
            QString error;
            QVERIFY2(t.store().open(t.path(), &error), qPrintable(error));
        }
        QVERIFY2(kept, kept ? "" : qPrintable(kept.error()));
        QCOMPARE(QFileInfo(*kept).fileName(), QStringLiteral("还原前20020315093005.bak"));
        QCOMPARE(dumpOf(*kept), other);

        const QString again = QDir(t.dir()).filePath(QStringLiteral("again.bak"));
        QVERIFY(backup::backUp(t.db(), t.path(), again));
        QCOMPARE(dumpOf(again), cafe);
        // Rows added afterwards go after the restored ones, never onto one's key.
        Machine m;
        m.number = 4;
        m.name = QStringLiteral("4号机");
        QVERIFY2(MachineTable(t.db()).add(m), qPrintable(t.db().lastError()));
        const QList<Machine> machines = MachineTable(t.db()).all();
        QCOMPARE(machines.size(), 3);
        QCOMPARE(machines.last().name, m.name);
        QCOMPARE(QDir(t.dir()).entryList({u"*.part"_s}, QDir::Files), QStringList());
    }

    void failedRestoreLeavesTheServerAsItWas_data()
    {
        QTest::addColumn<bool>("garbage");
        QTest::addColumn<double>("share"); // of the rows written before the failure
        QTest::newRow("not a store") << true << 0.0;
        QTest::newRow("first row") << false << 0.0;
        QTest::newRow("half way") << false << 0.5;
        QTest::newRow("last row") << false << 1.0;
    }

    void failedRestoreLeavesTheServerAsItWas()
    {
        QFETCH(bool, garbage);
        QFETCH(double, share);
        SKIP_WITHOUT_SERVER(true);
        const QStringList cafe = referenceDump(fillCafe);
        const QStringList other = referenceDump(fillOther);

        EngineStore server(true);
        TestStore &t = *server.t;
        fillOther(t.db());
        QTemporaryDir elsewhere;
        const QString chosen = elsewhere.filePath(QStringLiteral("chosen.bak"));
        if (garbage) {
            QFile f(chosen);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        } else {
            TestStore file;
            fillCafe(file.db());
            QVERIFY(backup::backUp(file.db(), file.path(), chosen));
            const int rows = int(cafe.size());
            t.db().failWritesAfter(qMin(rows - 1, int(rows * share)));
        }
        QVERIFY(!backup::restoreInto(t.db(), chosen, t.dir(), kNow));
        t.db().failWritesAfter(-1);

        const QString after = elsewhere.filePath(QStringLiteral("after.bak"));
        QVERIFY(backup::backUp(t.db(), t.path(), after));
        QCOMPARE(dumpOf(after), other);
        QCOMPARE(QDir(t.dir()).entryList({u"*.bak"_s}, QDir::Files), QStringList());
        // Nothing is left locked or half open: the next restore goes through.
        if (!garbage) {
            QVERIFY(backup::restoreInto(t.db(), chosen, t.dir(), kNow));
            QVERIFY(backup::backUp(t.db(), t.path(), after));
            QCOMPARE(dumpOf(after), cafe);
        }
    }

    void toolMovesACafeToTheServerAndBack()
    {
        SKIP_WITHOUT_SERVER(true);
        QVERIFY2(QFile::exists(toolPath()), "corvana-store is not built beside the test");
        TestStore cafe;
        fillCafe(cafe.db());
        TestStore other;
        fillOther(other.db());
        ServerSchema schema;
        const QString server = QStringLiteral("pg:") + schema.connection();
        QTemporaryDir out;
        QString output;

        // Onto a server with no tables yet, and back into a new file.
        QCOMPARE(runTool({QStringLiteral("copy"), cafe.path(), server}, &output), 0);
        const QString back = out.filePath(QStringLiteral("back.mdb"));
        QCOMPARE(runTool({QStringLiteral("copy"), server, back}, &output), 0);
        QCOMPARE(dumpOf(back), tableDump(cafe.db()));

        // A store that holds data is replaced only when asked to.
        QCOMPARE(runTool({QStringLiteral("copy"), other.path(), server}, &output), 1);
        QVERIFY2(output.contains(u"already holds data"), qPrintable(output));
        QCOMPARE(runTool({QStringLiteral("copy"), other.path(), back}), 1);
        QCOMPARE(dumpOf(back), tableDump(cafe.db()));
        QCOMPARE(runTool({QStringLiteral("copy"), QStringLiteral("--force"), other.path(), server}), 0);
        const QString moved = out.filePath(QStringLiteral("moved.bak"));
        QCOMPARE(runTool({QStringLiteral("copy"), server, moved}), 0);
        QCOMPARE(dumpOf(moved), tableDump(other.db()));

        // A source that is not there creates nothing.
        const QString missing = out.filePath(QStringLiteral("missing.mdb"));
        const QString never = out.filePath(QStringLiteral("never.mdb"));
        QCOMPARE(runTool({QStringLiteral("copy"), missing, never}), 1);
        QVERIFY(!QFile::exists(missing));
        QVERIFY(!QFile::exists(never));
    }
};

QTEST_GUILESS_MAIN(ServerCopyTest)
#include "servercopy_test.moc"
