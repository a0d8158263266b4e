#include "accounts/customers.h"
#include "goods/orders.h"
#include "machines/machinemanagement.h"
#include "store/accounttables.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/journaltable.h"
#include "store/machinetable.h"
#include "store/serverengine.h"
#include "store/serverlink.h"
#include "store/store.h"
#include "store/webtables.h"
#include "support/testserver.h"

#include <QTest>
#include <optional>

// What every engine must do alike: each case runs on the file and on the server.
class EngineTest : public QObject
{
    Q_OBJECT

private slots:
    // Every statement on a server goes through this: what the other cases cannot show is quoted
    // text left alone, numbered parameters used twice, and a longer name holding "rowid".
    void translation()
    {
        int counted = -1;
        QCOMPARE(QString::fromUtf8(ServerEngine::translate(
                     u"UPDATE t SET \"rowid\" = 'it''s rowid ?', myrowid = ifnull(?2, '') WHERE l.rowid = ?1 OR a > ?1"_qs,
                     &counted)),
                 u"UPDATE t SET \"rowid\" = 'it''s rowid ?', myrowid = coalesce($2, '') WHERE l.rid = $1 OR a > $1"_qs);
        QCOMPARE(counted, 2);
    }
    void tableOrderSurvivesChanges_data() { engines(); }
    void tableOrderSurvivesChanges();
    void valuesRoundTrip_data() { engines(); }
    void valuesRoundTrip();
    void nestedTransactions_data() { engines(); }
    void nestedTransactions();
    void savepointsAndLocksWaitForTheNextStatement_data() { engines(); }
    void savepointsAndLocksWaitForTheNextStatement();
    void schemaCreatedOnceAndChecked_data() { engines(); }
    void schemaCreatedOnceAndChecked();
    void numbersAndKeysOfNewRows_data() { engines(); }
    void numbersAndKeysOfNewRows();

    // The server would turn every other character of a counter's name into "?": two counters
    // named in Chinese would take each other for a second copy. Refused before connecting.
    void counterNamesAreAscii()
    {
        for (const QString &name : {QStringLiteral("一号柜台"), QStringLiteral("'bar 2'")}) {
            QString error;
            const bool refused = !ServerEngine::connect(QStringLiteral("host=/nowhere application_name=") + name,
                                                        Store::key(), &error);
            QVERIFY(refused);
            QCOMPARE(error.startsWith(QStringLiteral("柜台名称")), name != u"'bar 2'");
        }
    }

    void sessionsAreBounded_data();
    void sessionsAreBounded();
    void aLockHeldByASilentSessionIsNotWaitedFor();

private:
    static void engines()
    {
        QTest::addColumn<bool>("onServer");
        QTest::newRow("file") << false;
        QTest::newRow("server") << true;
    }
};

namespace {

QStringList sites(Database &db)
{
    QStringList result;
    for (const RestrictedSite &s : RestrictedSiteTable(db).all())
        result << s.fragment;
    return result;
}

bool addSite(Database &db, const QString &fragment)
{
    return RestrictedSiteTable(db).add({0, fragment});
}

} // namespace

void EngineTest::tableOrderSurvivesChanges()
{
    QFETCH(bool, onServer);
    SKIP_WITHOUT_SERVER(onServer);
    EngineStore s(onServer);
    Database &db = s.t->db();
    for (int n = 1; n <= 5; ++n)
        s.t->addMachine(n);
    s.t->addArticle(u"00000001"_qs, u"可乐"_qs, 2.5);
    s.t->addArticle(u"00000002"_qs, u"雪碧"_qs, 3);
    const QDateTime when(QDate(2002, 3, 14), QTime(12, 0));
    QVERIFY(recordOrders(db, 1, {{u"00000001"_qs, 1}}, when));
    QVERIFY(recordOrders(db, 1, {{u"00000002"_qs, 1}}, when));
    QVERIFY(recordOrders(db, 1, {{u"00000001"_qs, 2}}, when)); // updates the first line

    MachineTable machines(db);
    // Updates move a row inside a server's table; table order must not follow.
    QVERIFY(machines.editDetails(machines.byNumber(1)->rowid, u"一号"_qs, u"10.0.0.1"_qs, 5));
    QVERIFY(machines.setStatus(machines.byNumber(2)->rowid, MachineStatus::Off, MachineStatus::Standby));
    QVERIFY(MachineManagement::remove(db, machines.byNumber(3)->rowid));
    QVERIFY(MachineManagement::add(db, {u"新机"_qs, QString(), u"3"_qs}));

    const QList<Machine> all = machines.all();
    QStringList names;
    for (const Machine &m : all) {
        names << m.name;
        QCOMPARE(m.number, m.position);
        QCOMPARE(machines.at(m.position)->rowid, m.rowid);
        QCOMPARE(machines.byNumber(m.number)->position, m.position);
        QCOMPARE(machines.byRowid(m.rowid)->position, m.position);
    }
    QCOMPARE(names, (QStringList{u"一号"_qs, u"2号机"_qs, u"3号机"_qs, u"4号机"_qs, u"新机"_qs}));
    QCOMPARE(machines.at(2)->status, MachineStatus::Standby);

    // The updated goods line keeps its place.
    const QList<OrderLine> lines = OrderTable(db).linesOf(1);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).article, u"00000001"_qs);
    QCOMPARE(lines.at(0).quantity, 3.0);
    QCOMPARE(lines.at(1).article, u"00000002"_qs);
}

void EngineTest::valuesRoundTrip()
{
    QFETCH(bool, onServer);
    SKIP_WITHOUT_SERVER(onServer);
    EngineStore s(onServer);
    Database &db = s.t->db();

    // The store's own default colour is past 32 bits.
    QVERIFY(OperatorTable(db).addAccount(u"甲"_qs, QString(), u"D"_qs));
    QCOMPARE(OperatorTable(db).byName(u"甲"_qs)->backgroundColor, qint64(2147483653));

    // Doubles come back bit for bit (QCOMPARE would forgive a 4-byte real).
    const double amounts[] = {12345.67, 0.1 + 0.2, -2.5, 1e-7};
    for (double amount : amounts) {
        QVERIFY(ArticleTable(db).add({0, u"00000009"_qs, u"测试"_qs, amount, amount, amount}));
        const Article a = ArticleTable(db).all().last();
        QVERIFY2(a.price == amount && a.stock == amount, qPrintable(QString::number(a.price, 'g', 17)));
    }
    // Dates stay text to the second; an empty one stays NULL; Chinese text is unchanged.
    Machine m = s.t->addMachine(1);
    m.start = QDateTime(QDate(2002, 3, 14), QTime(23, 59, 59));
    m.customer = u"张三·李四 'x'"_qs;
    QVERIFY(MachineTable(db).save(m));
    const Machine back = *MachineTable(db).byNumber(1);
    QCOMPARE(back.start, m.start);
    QVERIFY(!back.due.isValid());
    QCOMPARE(back.customer, m.customer);
    Statement nulls =
        db.prepare(uR"(SELECT count(*) FROM yxsjb WHERE "到点时间" IS NULL AND "开始时间" = ?)"_qs);
    nulls.bind(1, m.start);
    QVERIFY(nulls.next());
    QCOMPARE(nulls.integer(0), 1);
}

void EngineTest::nestedTransactions()
{
    QFETCH(bool, onServer);
    SKIP_WITHOUT_SERVER(onServer);
    EngineStore s(onServer);
    Database &db = s.t->db();
    {
        // An inner one committed inside an outer one that is not: nothing.
        Transaction outer(db);
        QVERIFY(addSite(db, u"outer not committed"_qs));
        Transaction inner(db);
        QVERIFY(addSite(db, u"inner committed"_qs));
        QVERIFY(inner.commit());
    }
    QCOMPARE(sites(db), QStringList());
    {
        // A statement failing inside an inner one takes only that one with it.
        Transaction outer(db);
        QVERIFY(addSite(db, u"a"_qs));
        {
            Transaction middle(db);
            QVERIFY(addSite(db, u"b"_qs));
            {
                Transaction inner(db);
                QVERIFY(addSite(db, u"failed"_qs));
                QVERIFY(!db.exec(u"UPDATE no_such_table SET x = 1"_qs));
            }
            QVERIFY(middle.commit());
        }
        QVERIFY(addSite(db, u"c"_qs));
        QVERIFY(outer.commit());
    }
    QCOMPARE(sites(db), (QStringList{u"a"_qs, u"b"_qs, u"c"_qs}));

    // After a failure in the outermost one, a commit is all or nothing, and says which.
    bool committed = false;
    {
        Transaction t(db);
        QVERIFY(addSite(db, u"x"_qs));
        QVERIFY(!db.exec(u"UPDATE no_such_table SET x = 1"_qs));
        addSite(db, u"y"_qs); // a server refuses everything after the failure
        committed = t.commit();
    }
    QCOMPARE(sites(db).size(), committed ? 5 : 3);
    // Everything is closed: a write outside any transaction stays.
    QVERIFY(addSite(db, u"f"_qs));
    Store again;
    QString error;
    QVERIFY2(again.open(s.t->path(), &error), qPrintable(error));
    QCOMPARE(sites(again.db()).last(), u"f"_qs);
    QCOMPARE(sites(again.db()).size(), committed ? 6 : 4);
}

// A server sends savepoints and table locks with the next statement: inner transactions that
// end before anything was sent, or end together, must come out as if each had gone at once.
void EngineTest::savepointsAndLocksWaitForTheNextStatement()
{
    QFETCH(bool, onServer);
    SKIP_WITHOUT_SERVER(onServer);
    EngineStore s(onServer);
    Database &db = s.t->db();
    QVERIFY(addSite(db, u"warm"_qs)); // the insert is prepared once, outside what is counted
    {
        Transaction outer(db);
        {
            // Opened and undone with nothing in between, twice over.
            Transaction middle(db);
            Transaction inner(db);
            QVERIFY(inner.commit());
        }
        QVERIFY(addSite(db, u"a"_qs));
        {
            // Undone after its savepoint went with a statement, inner ones still waiting.
            Transaction middle(db);
            QVERIFY(addSite(db, u"undone"_qs));
            Transaction inner(db);
            QVERIFY(inner.commit());
        }
        // Released while waiting, then the outer one goes on and commits.
        const qint64 before = db.roundTrips();
        {
            Transaction inner(db);
            QVERIFY(db.lockTable(u"hickhttp"_qs));
            Statement count = db.prepare(u"SELECT count(*) FROM hickhttp"_qs);
            QVERIFY(count.next());
            QCOMPARE(count.integer(0), 2);
            QVERIFY(inner.commit());
        }
        // The savepoint and the lock went with the read; the release waits.
        if (onServer)
            QCOMPARE(db.roundTrips() - before, 1);
        QVERIFY(addSite(db, u"b"_qs));
        QVERIFY(addSite(db, u"c"_qs));
        QVERIFY(outer.commit());
    }
    {
        // Released inside an outer one that is undone: nothing of it stays.
        Transaction outer(db);
        Transaction inner(db);
        QVERIFY(addSite(db, u"gone"_qs));
        QVERIFY(inner.commit());
    }
    QCOMPARE(sites(db), (QStringList{u"warm"_qs, u"a"_qs, u"b"_qs, u"c"_qs}));
    QVERIFY(!db.inTransaction());
    QVERIFY(addSite(db, u"d"_qs)); // nothing left open on the connection
    QCOMPARE(sites(db).size(), 5);
}

void EngineTest::schemaCreatedOnceAndChecked()
{
    QFETCH(bool, onServer);
    SKIP_WITHOUT_SERVER(onServer);
    EngineStore s(onServer);
    QVERIFY(s.t->store().created());
    // What sets the engines apart, asked of the store and of its connection alike.
    QCOMPARE(s.t->store().sharedByCounters(), onServer);
    QCOMPARE(s.t->db().sharedByCounters(), onServer);
    QCOMPARE(s.t->db().hasOwnFile(), !onServer);
    QCOMPARE(s.t->db().serverLink() != nullptr, onServer);
    QCOMPARE(s.t->db().handle() != nullptr, !onServer);
    QCOMPARE(s.t->db().schemaVersion(), 2);
    s.t->addMachine(1);

    // Opened again: kept as it is, not created anew.
    Store again;
    QString error;
    QVERIFY2(again.open(s.t->path(), &error), qPrintable(error));
    QVERIFY(!again.created());
    QCOMPARE(MachineTable(again.db()).count(), 1);

    // A store of a newer program is refused and left alone.
    QVERIFY(again.db().setSchemaVersion(3));
    again.close();
    // Closed (as after a restore whose file did not open), it still says what it was.
    QCOMPARE(again.hasOwnFile(), !onServer);
    QVERIFY(!again.db().hasOwnFile() && !again.db().sharedByCounters());
    Store newer;
    QVERIFY(!newer.open(s.t->path(), &error));
    QCOMPARE(error, u"数据库文件的版本比本程序新"_qs);
    QCOMPARE(MachineTable(s.t->db()).count(), 1);
}

void EngineTest::numbersAndKeysOfNewRows()
{
    QFETCH(bool, onServer);
    SKIP_WITHOUT_SERVER(onServer);
    EngineStore s(onServer);
    Database &db = s.t->db();
    JournalTable journal(db);
    JournalEntry entry;
    entry.machine = 1;
    {
        // A journal row rolled back leaves no gap in the numbers.
        Transaction t(db);
        entry.id = journal.nextId();
        QVERIFY(journal.add(entry));
    }
    QCOMPARE(journal.nextId(), 1);
    entry.id = 1;
    QVERIFY(journal.add(entry));
    QCOMPARE(journal.nextId(), 2);

    // A new row's key finds that row.
    Customer c;
    c.name = u"王五"_qs;
    QVERIFY(customers::add(db, c));
    c.name = u"赵六"_qs;
    const Result<Customer> added = customers::add(db, c);
    QVERIFY(added);
    QCOMPARE(CustomerTable(db).byRowid(added->rowid)->name, u"赵六"_qs);
    QCOMPARE(added->number, u"00000002"_qs);

    // A write tells how many rows it met, none included.
    s.t->addMachine(1);
    s.t->addMachine(2);
    Statement rename = db.prepare(uR"(UPDATE yxsjb SET "名称" = "名称" || 'x' WHERE "机号" <= ?)"_qs);
    for (const auto &[upTo, met] : {std::pair{2, 2}, {0, 0}, {1, 1}}) {
        QVERIFY(rename.bind(1, upTo).run());
        QCOMPARE(rename.changedRows(), qint64(met));
        rename.reset();
    }
}

namespace {

// The connection's session as the server numbers it.
qint64 backendPid(Database &db)
{
    Statement s = db.prepare(u"SELECT pg_backend_pid()"_qs);
    return s.next() ? s.integer(0) : 0;
}

bool reconnect(Database &db)
{
    ServerLink *link = db.serverLink();
    ReconnectStep step = link->startReconnect();
    for (int i = 0; i < 1000 && (step == ReconnectStep::WaitRead || step == ReconnectStep::WaitWrite); ++i) {
        QTest::qWait(5);
        step = link->continueReconnect();
    }
    return step == ReconnectStep::Done;
}

} // namespace

void EngineTest::sessionsAreBounded_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("reconnected");
    const QList<std::pair<QString, QString>> bounds{{u"statement_timeout"_qs, u"15s"_qs},
                                                    {u"lock_timeout"_qs, u"2s"_qs},
                                                    {u"idle_in_transaction_session_timeout"_qs, u"10s"_qs},
                                                    {u"extra_float_digits"_qs, u"3"_qs}};
    for (const auto &[setting, value] : bounds) {
        QTest::addRow("%s", qPrintable(setting)) << setting << value << false;
        QTest::addRow("%s after reconnecting", qPrintable(setting)) << setting << value << true;
    }
}

// Every session, the first and each one made after a loss, is bounded: a statement, a lock
// wait and an idle transaction end on the server however the counter behind them fares.
void EngineTest::sessionsAreBounded()
{
    QFETCH(QString, setting);
    QFETCH(QString, value);
    QFETCH(bool, reconnected);
    SKIP_WITHOUT_SERVER(true);
    EngineStore store(true);
    Database &db = store.t->db();
    if (reconnected) {
        testserver::administer(u"SELECT pg_terminate_backend(%1)"_qs.arg(backendPid(db)));
        QVERIFY(!db.exec(u"SELECT 1"_qs));
        QVERIFY(db.connectionLost());
        QVERIFY(reconnect(db));
    }
    Statement s = db.prepare(u"SHOW "_qs + setting);
    QVERIFY(s.next());
    QCOMPARE(s.text(0), value);
}

// Another counter's session took a lock and fell silent in its transaction: this one's
// statement gives up after the lock timeout instead of holding its desk, and once the server has
// ended the silent session the lock is free again.
void EngineTest::aLockHeldByASilentSessionIsNotWaitedFor()
{
    SKIP_WITHOUT_SERVER(true);
    ServerSchema schema;
    TestStore here(schema.connection());
    std::optional<TestStore> silent(std::in_place, schema.connection());
    here.addMachine(1);
    const qint64 silentPid = backendPid(silent->db());
    std::optional<Transaction> held(std::in_place, silent->db());
    QVERIFY(silent->db().exec(u"LOCK TABLE yxsjb"_qs));

    QVERIFY(!here.db().exec(u"UPDATE yxsjb SET 状态 = 'S'"_qs));
    QVERIFY(here.db().lastError().contains(u"lock timeout"_qs));
    QVERIFY(!here.db().connectionLost());

    const auto silentEnded = [&] {
        Statement s = here.db().prepare(u"SELECT count(*) FROM pg_stat_activity WHERE pid = ?"_qs);
        s.bind(1, silentPid);
        return s.next() && s.integer(0) == 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(silentEnded(), 20000);
    QVERIFY(here.db().exec(u"UPDATE yxsjb SET 状态 = 'S'"_qs));
    held.reset();
    QVERIFY(silent->db().connectionLost());
}

QTEST_GUILESS_MAIN(EngineTest)
#include "engine_test.moc"
