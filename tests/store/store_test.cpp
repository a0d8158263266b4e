#include "store/schema.h"
#include "store/settingstable.h"
#include "store/store.h"
#include "support/teststore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <sqlcipher/sqlite3.h>

namespace {

QByteArray fileDigest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QStringList columnsOf(Database &db, const QString &table)
{
    QStringList names;
    Statement s = db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    while (s.next())
        names << s.text(1);
    return names;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class StoreTest : public QObject
{
    Q_OBJECT

private slots:
    void everyTable();
    void fieldOrder_data();
    void fieldOrder();
    void newFileHasDefaultSettings();
    void fileIsEncrypted();
    void reopensWithItsKey();
    void unopenableFileStaysUntouched_data();
    void unopenableFileStaysUntouched();
    void missingFolderIsAnError();
};

void StoreTest::everyTable()
{
    TestStore t;
    Statement s = t.db().prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid"));
    QStringList tables;
    while (s.next())
        tables << s.text(0);
    QCOMPARE(tables, schema::tableNames());
    QCOMPARE(schema::tableNames(),
             (QStringList{QStringLiteral("yxsjb"), QStringLiteral("splsjlb"), QStringLiteral("spkcb"),
                          QStringLiteral("sjlszb"), QStringLiteral("khspb"), QStringLiteral("cjkgl"),
                          QStringLiteral("xtsz"), QStringLiteral("yhszb"), QStringLiteral("khglb"),
                          QStringLiteral("quickhttp"), QStringLiteral("hickhttp"), QStringLiteral("jbjlb")}));
}

void StoreTest::fieldOrder_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("positional"); // must lead, in this order
    QTest::addColumn<QStringList>("others");     // follow, in any order

    auto list = [](std::initializer_list<const char16_t *> names) {
        QStringList l;
        for (const char16_t *n : names)
            l << QString::fromUtf16(n);
        return l;
    };
    QTest::newRow("yxsjb") << QStringLiteral("yxsjb") << list({u"机号", u"名称", u"IP", u"单位费用"})
                           << list({u"状态", u"开始时间", u"到点时间", u"暂停开始", u"暂停时间", u"已收款",
                                    u"上机方式", u"客户姓名", u"客户证件", u"证件号码"});
    QTest::newRow("splsjlb") << QStringLiteral("splsjlb") << QStringList()
                             << list({u"机号", u"商品编号", u"数量", u"时间"});
    QTest::newRow("spkcb") << QStringLiteral("spkcb")
                           << list({u"商品编号", u"商品名称", u"进货价格", u"零售价格", u"库存数量"}) << QStringList();
    QTest::newRow("sjlszb") << QStringLiteral("sjlszb")
                            << list({u"ID", u"机号", u"开始时间", u"结束时间", u"上机方式", u"应收款", u"实收款",
                                     u"优惠"})
                            << list({u"结帐人", u"客户姓名", u"客户证件", u"证件号码"});
    QTest::newRow("khspb") << QStringLiteral("khspb") << QStringList()
                           << list({u"ID", u"机号", u"商品编号", u"数量", u"时间"});
    QTest::newRow("cjkgl") << QStringLiteral("cjkgl")
                           << list({u"卡号", u"总金额", u"总机时", u"密码", u"客户编号", u"已用机时", u"上机次数",
                                    u"金额"})
                           << QStringList();
    QTest::newRow("xtsz") << QStringLiteral("xtsz") << QStringList()
                          << list({u"通宵金额", u"最低消费额", u"取整金额", u"通宵开始时间", u"通宵结束时间",
                                   u"每月开始时间", u"每月结束时间"});
    QTest::newRow("yhszb") << QStringLiteral("yhszb") << QStringList()
                           << list({u"用户名称", u"用户密码", u"权限", u"字体", u"字号", u"字体颜色", u"粗体",
                                    u"斜体", u"背景", u"背景颜色"});
    QTest::newRow("khglb") << QStringLiteral("khglb")
                           << list({u"编号", u"客户姓名", u"证件", u"证件号码", u"电话", u"呼机", u"手机",
                                    u"E-Mail", u"消费额", u"消费次数", u"最后一次时间"})
                           << QStringList();
    QTest::newRow("quickhttp") << QStringLiteral("quickhttp") << QStringList() << list({u"网站名称", u"网站地址"});
    QTest::newRow("hickhttp") << QStringLiteral("hickhttp") << QStringList() << list({u"网站"});
}

void StoreTest::fieldOrder()
{
    QFETCH(QString, table);
    QFETCH(QStringList, positional);
    QFETCH(QStringList, others);
    TestStore t;
    const QStringList columns = columnsOf(t.db(), table);
    QCOMPARE(columns.mid(0, positional.size()), positional);
    QStringList rest = columns.mid(positional.size());
    rest.sort();
    others.sort();
    QCOMPARE(rest, others);
}

void StoreTest::newFileHasDefaultSettings()
{
    TestStore t;
    Statement count = t.db().prepare(QStringLiteral("SELECT count(*) FROM xtsz"));
    QVERIFY(count.next());
    QCOMPARE(count.integer(0), 1);
    const std::optional<Settings> s = SettingsTable(t.db()).read();
    QVERIFY(s);
    QCOMPARE(s->overnightPrice, 10.0);
    QCOMPARE(s->minimumCharge, std::optional<double>(1));
    QCOMPARE(s->roundingUnit, 1.0);
    QCOMPARE(s->overnightStart, QTime(22, 0));
    QCOMPARE(s->overnightEnd, QTime(8, 0));
    QCOMPARE(s->monthStart, 1.0);
    QCOMPARE(s->monthEnd, 31.0);
    // Times are kept as "hh:nn:ss" texts.
    Statement text = t.db().prepare(QStringLiteral(R"(SELECT "通宵开始时间", "通宵结束时间" FROM xtsz)"));
    QVERIFY(text.next());
    QCOMPARE(text.text(0), QStringLiteral("22:00:00"));
    QCOMPARE(text.text(1), QStringLiteral("08:00:00"));
}

void StoreTest::fileIsEncrypted()
{
    TestStore t;
    t.store().close();

    QFile f(t.path());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!f.read(16).startsWith("SQLite format 3"));
    f.close();

    // Without the key the engine cannot read even the table list.
    sqlite3 *raw = nullptr;
    QCOMPARE(sqlite3_open_v2(t.path().toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(raw, "SELECT count(*) FROM sqlite_master", -1, &stmt, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    sqlite3_close(raw);
    QCOMPARE(rc, SQLITE_NOTADB);
}

void StoreTest::reopensWithItsKey()
{
    TestStore t;
    QVERIFY(t.db().exec(QStringLiteral(R"(INSERT INTO hickhttp ("网站") VALUES ('kept'))")));
    t.store().close();

    Store again;
    QString error;
    QVERIFY2(again.open(t.path(), &error), qPrintable(error));
    Statement s = again.db().prepare(QStringLiteral(R"(SELECT "网站" FROM hickhttp)"));
    QVERIFY(s.next());
    QCOMPARE(s.text(0), QStringLiteral("kept"));
    // Opening an existing file adds no second settings row.
    Statement count = again.db().prepare(QStringLiteral("SELECT count(*) FROM xtsz"));
    QVERIFY(count.next());
    QCOMPARE(count.integer(0), 1);
}

void StoreTest::unopenableFileStaysUntouched_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("wrong key") << QStringLiteral("wrong key");
    QTest::newRow("random bytes") << QStringLiteral("random");
    QTest::newRow("plain text") << QStringLiteral("text");
    QTest::newRow("empty file") << QStringLiteral("empty");
    QTest::newRow("tables missing") << QStringLiteral("no tables");
}

void StoreTest::unopenableFileStaysUntouched()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(Store::fileName());
    if (kind == u"wrong key" || kind == u"no tables") {
        Database other;
        QVERIFY(other.open(path, kind == u"wrong key" ? QByteArrayLiteral("not-the-key") : Store::key(), true));
        QVERIFY(other.exec(QStringLiteral("CREATE TABLE yxsjb (x)")));
        QVERIFY(other.exec(QStringLiteral("INSERT INTO yxsjb VALUES (1)")));
    } else if (kind == u"random") {
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        QRandomGenerator gen(42);
        for (char &c : noise)
            c = char(gen.bounded(256));
        writeFile(path, noise);
    } else if (kind == u"text") {
        writeFile(path, QByteArrayLiteral("this is not a database\n"));
    } else {
        writeFile(path, QByteArray());
    }
    const QByteArray before = fileDigest(path);
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files);

    Store store;
    QString error;
    QVERIFY(!store.open(path, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!store.db().isOpen());
    QCOMPARE(fileDigest(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), filesBefore);

    // A null error pointer is allowed.
    QVERIFY(!store.open(path, nullptr));
    QCOMPARE(fileDigest(path), before);
}

void StoreTest::missingFolderIsAnError()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no/such/folder/") + Store::fileName());
    Store store;
    QString error;
    QVERIFY(!store.open(path, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(StoreTest)
#include "store_test.moc"
