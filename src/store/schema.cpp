#include "schema.h"

#include "database.h"
#include "settingstable.h"

#include <QRegularExpression>
#include <iterator>
#include <optional>

namespace {

// 2: the shifts' table jbjlb.
constexpr int kVersion = 2;

// The shifts of each counter: the one open has no 交班时间; its takings grow with every action
// that takes or pays out money.
const char16_t *const kShifts = uR"(CREATE TABLE jbjlb (
        "柜台" TEXT DEFAULT '', "操作员" TEXT DEFAULT '', "上班时间" TEXT, "交班时间" TEXT,
        "上班备用金" REAL DEFAULT 0, "现金结帐" REAL DEFAULT 0, "储金卡结帐" REAL DEFAULT 0,
        "售卡及充值" REAL DEFAULT 0, "柜台零售" REAL DEFAULT 0, "实点现金" REAL DEFAULT 0,
        "留存备用金" REAL DEFAULT 0))";

// Field order is part of the format where the management dialogs and the reports read
// fields by position.
const char16_t *const kTables[] = {
    uR"(CREATE TABLE yxsjb (
        "机号" INTEGER, "名称" TEXT, "IP" TEXT, "单位费用" REAL,
        "状态" TEXT DEFAULT 'N', "开始时间" TEXT, "到点时间" TEXT, "暂停开始" TEXT,
        "暂停时间" REAL DEFAULT 0, "已收款" REAL DEFAULT 0, "上机方式" TEXT DEFAULT '',
        "客户姓名" TEXT DEFAULT '', "客户证件" TEXT DEFAULT '', "证件号码" TEXT DEFAULT ''))",
    uR"(CREATE TABLE splsjlb (
        "机号" INTEGER, "商品编号" TEXT, "数量" REAL DEFAULT 0, "时间" TEXT))",
    uR"(CREATE TABLE spkcb (
        "商品编号" TEXT, "商品名称" TEXT, "进货价格" REAL DEFAULT 0, "零售价格" REAL DEFAULT 0,
        "库存数量" REAL DEFAULT 0))",
    uR"(CREATE TABLE sjlszb (
        "ID" INTEGER, "机号" INTEGER, "开始时间" TEXT, "结束时间" TEXT, "上机方式" TEXT,
        "应收款" REAL DEFAULT 0, "实收款" REAL DEFAULT 0, "优惠" REAL DEFAULT 0,
        "结帐人" TEXT DEFAULT '', "客户姓名" TEXT DEFAULT '', "客户证件" TEXT DEFAULT '',
        "证件号码" TEXT DEFAULT ''))",
    uR"(CREATE TABLE khspb (
        "ID" INTEGER, "机号" INTEGER, "商品编号" TEXT, "数量" REAL DEFAULT 0, "时间" TEXT))",
    uR"(CREATE TABLE cjkgl (
        "卡号" TEXT, "总金额" REAL DEFAULT 0, "总机时" REAL DEFAULT 0, "密码" TEXT DEFAULT '',
        "客户编号" TEXT DEFAULT '', "已用机时" REAL DEFAULT 0, "上机次数" INTEGER DEFAULT 0,
        "金额" REAL DEFAULT 0))",
    uR"(CREATE TABLE xtsz (
        "通宵金额" REAL, "最低消费额" REAL, "取整金额" REAL, "通宵开始时间" TEXT,
        "通宵结束时间" TEXT, "每月开始时间" REAL, "每月结束时间" REAL))",
    uR"(CREATE TABLE yhszb (
        "用户名称" TEXT, "用户密码" TEXT DEFAULT '', "权限" TEXT DEFAULT 'A',
        "字体" TEXT DEFAULT '宋体', "字号" REAL DEFAULT 9, "字体颜色" INTEGER DEFAULT 0,
        "粗体" INTEGER DEFAULT 0, "斜体" INTEGER DEFAULT 0, "背景" TEXT DEFAULT '',
        "背景颜色" INTEGER DEFAULT 2147483653))",
    uR"(CREATE TABLE khglb (
        "编号" TEXT, "客户姓名" TEXT DEFAULT '', "证件" TEXT DEFAULT '', "证件号码" TEXT DEFAULT '',
        "电话" TEXT DEFAULT '', "呼机" TEXT DEFAULT '', "手机" TEXT DEFAULT '',
        "E-Mail" TEXT DEFAULT '', "消费额" REAL DEFAULT 0, "消费次数" INTEGER DEFAULT 0,
        "最后一次时间" TEXT))",
    uR"(CREATE TABLE quickhttp ("网站名称" TEXT, "网站地址" TEXT))",
    uR"(CREATE TABLE hickhttp ("网站" TEXT))",
    kShifts,
};

// Lookups by machine, article, card, customer and period must not scan.
const char16_t *const kIndexes[] = {
    uR"(CREATE INDEX yxsjb_jh ON yxsjb ("机号"))",
    uR"(CREATE INDEX yxsjb_ip ON yxsjb ("IP"))",
    uR"(CREATE INDEX splsjlb_jh ON splsjlb ("机号", "商品编号"))",
    uR"(CREATE INDEX spkcb_bh ON spkcb ("商品编号"))",
    uR"(CREATE INDEX spkcb_mc ON spkcb ("商品名称"))",
    uR"(CREATE INDEX sjlszb_js ON sjlszb ("结束时间"))",
    uR"(CREATE INDEX khspb_sj ON khspb ("时间"))",
    uR"(CREATE INDEX khspb_bh ON khspb ("商品编号"))",
    uR"(CREATE INDEX khspb_id ON khspb ("ID"))",
    uR"(CREATE INDEX cjkgl_kh ON cjkgl ("卡号"))",
    uR"(CREATE INDEX cjkgl_khbh ON cjkgl ("客户编号"))",
    uR"(CREATE INDEX khglb_xm ON khglb ("客户姓名"))",
    uR"(CREATE INDEX khglb_bh ON khglb ("编号"))",
    uR"(CREATE INDEX yhszb_mc ON yhszb ("用户名称"))",
};

// A table of the file as the server keeps it: 64-bit integers (a colour like 2147483653
// does not fit 32 bits), doubles (a 4-byte real reads 12345.67 back as 12345.669921875),
// text compared byte by byte as in the file, and a last column rid, the row order key that
// stands in for the file's rowid (a server scan returns rows in no fixed order).
QString serverTable(const QString &sql)
{
    QString t = sql;
    t.replace(QRegularExpression(QStringLiteral("\\bINTEGER\\b")), QStringLiteral("bigint"));
    t.replace(QRegularExpression(QStringLiteral("\\bREAL\\b")), QStringLiteral("double precision"));
    t.replace(QRegularExpression(QStringLiteral("\\bTEXT\\b")), QStringLiteral("text COLLATE \"C\""));
    t.insert(t.lastIndexOf(u')'), QStringLiteral(", rid bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY"));
    return t;
}

// Every change a transaction commits is announced to the other counters on a channel named
// after the table, with the schema as payload. Statement triggers that look at the rows the
// statement touched: an update that matched nothing announces nothing, so two counters whose
// passes write nothing cannot keep waking each other.
const char16_t *const kAnnounce[] = {
    uR"(CREATE OR REPLACE FUNCTION corvana_changed() RETURNS trigger LANGUAGE plpgsql AS $$
        BEGIN
            IF EXISTS (SELECT 1 FROM changed) THEN
                PERFORM pg_notify(TG_TABLE_NAME, TG_TABLE_SCHEMA);
            END IF;
            RETURN NULL;
        END $$)",
    uR"(CREATE OR REPLACE FUNCTION corvana_emptied() RETURNS trigger LANGUAGE plpgsql AS $$
        BEGIN
            PERFORM pg_notify(TG_TABLE_NAME, TG_TABLE_SCHEMA);
            RETURN NULL;
        END $$)",
};
const char16_t *const kAnnounceTriggers[] = {
    u"CREATE OR REPLACE TRIGGER corvana_added AFTER INSERT ON %1 REFERENCING NEW TABLE AS changed "
    u"FOR EACH STATEMENT EXECUTE FUNCTION corvana_changed()",
    u"CREATE OR REPLACE TRIGGER corvana_updated AFTER UPDATE ON %1 REFERENCING NEW TABLE AS changed "
    u"FOR EACH STATEMENT EXECUTE FUNCTION corvana_changed()",
    u"CREATE OR REPLACE TRIGGER corvana_removed AFTER DELETE ON %1 REFERENCING OLD TABLE AS changed "
    u"FOR EACH STATEMENT EXECUTE FUNCTION corvana_changed()",
    u"CREATE OR REPLACE TRIGGER corvana_emptied AFTER TRUNCATE ON %1 FOR EACH STATEMENT "
    u"EXECUTE FUNCTION corvana_emptied()",
};

// The customers and the cards: what the branches of a chain share.
bool shareable(const QString &table)
{
    return table == u"khglb" || table == u"cjkgl";
}

// Where the tables of a server store go. With one schema on the search path every table lives
// there. With several, the first is the branch's own and the last the chain's: the customers
// and the cards live in the chain's, so a card sold in one branch pays in every other.
struct Layout
{
    QString own;    // quoted; empty on the file
    QString shared; // quoted; empty unless chained

    bool chained() const { return !shared.isEmpty(); }
    bool sharedTable(const QString &table) const { return chained() && shareable(table); }
    QString schemaOf(const QString &table) const { return sharedTable(table) ? shared : own; }
    QString place(const QString &table) const
    {
        const QString schema = schemaOf(table);
        return schema.isEmpty() ? table : schema + u'.' + table;
    }
};

std::optional<Layout> layoutOf(Database &db)
{
    Layout layout;
    if (!db.isServer())
        return layout;
    Statement s = db.prepare(QStringLiteral("SELECT quote_ident(n) FROM unnest(current_schemas(false)) "
                                            "WITH ORDINALITY AS p(n, i) ORDER BY i"));
    QStringList schemas;
    while (s.next())
        schemas << s.text(0);
    if (schemas.isEmpty())
        return std::nullopt;
    layout.own = schemas.first();
    if (schemas.size() > 1)
        layout.shared = schemas.last();
    return layout;
}

// Branches opened at the same moment would both create the chain's tables; one of them would
// fail. The lock is keyed by the chain's schema and held until the transaction ends.
bool lockChain(Database &db, const Layout &layout)
{
    return !layout.chained() ||
           db.exec(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('corvana schema'), "
                                  "hashtext((current_schemas(false))[array_length("
                                  "current_schemas(false), 1)]))"));
}

bool createAnnouncements(Database &db, const Layout &layout)
{
    // The functions beside the tables that call them, so dropping one branch never takes the
    // chain's announcements with it.
    QStringList schemas{layout.own};
    if (layout.chained())
        schemas << layout.shared;
    for (const QString &schema : schemas)
        for (const char16_t *sql : kAnnounce)
            if (!db.exec(QString::fromUtf16(sql).replace(QStringLiteral("FUNCTION corvana_"),
                                                         QStringLiteral("FUNCTION %1.corvana_").arg(schema))))
                return false;
    for (const QString &table : schema::tableNames())
        for (const char16_t *sql : kAnnounceTriggers)
            if (!db.exec(QString::fromUtf16(sql)
                             .arg(layout.place(table))
                             .replace(QStringLiteral("FUNCTION corvana_"),
                                      QStringLiteral("FUNCTION %1.corvana_").arg(layout.schemaOf(table)))))
                return false;
    return true;
}

// The store's tables as the search path finds them, for catalogue queries.
QString storeTablesCondition()
{
    return QStringLiteral("c.relname IN ('%1') AND c.oid = to_regclass(c.relname::text)")
        .arg(schema::tableNames().join(QStringLiteral("', '")));
}

// Schemas created before the announcements existed have none, at the same version.
bool announcementsComplete(Database &db)
{
    Statement s =
        db.prepare(QStringLiteral("SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                                  "WHERE %1 AND t.tgname LIKE 'corvana\\_%'")
                       .arg(storeTablesCondition()));
    return s.next() && s.integer(0) == qint64(std::size(kAnnounceTriggers)) * schema::tableNames().size();
}

// A branch names its chain on its journal table, so that the branches of one chain can be told
// from the other cafés and chains on the same server.
const QString kChainMark = QStringLiteral(
    "'Corvana chain ' || (current_schemas(false))[array_length(current_schemas(false), 1)]");

bool markBranch(Database &db, const Layout &layout)
{
    if (!layout.chained())
        return true;
    return db.exec(QStringLiteral("DO $$ DECLARE mark text := %1; BEGIN "
                                  "IF obj_description(format('%I.sjlszb', current_schema())::regclass, 'pg_class') "
                                  "IS DISTINCT FROM mark THEN "
                                  "EXECUTE format('COMMENT ON TABLE %I.sjlszb IS %L', current_schema(), mark); "
                                  "END IF; END $$")
                       .arg(kChainMark));
}

// Names that go into a search path as they stand.
bool plainName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    return plain.match(name).hasMatch();
}

const QString kOwnSchema = QStringLiteral("(SELECT oid FROM pg_namespace WHERE nspname = current_schema())");

// A new branch joining a chain: its own schema holds none of the tables yet, the chain's
// schema already holds the shared ones.
bool joiningChain(Database &db)
{
    if (!db.isServer())
        return false;
    Statement s = db.prepare(QStringLiteral("SELECT count(*) FROM pg_class c WHERE c.relnamespace = %1 "
                                            "AND c.relname IN ('%2')")
                                 .arg(kOwnSchema, schema::tableNames().join(QStringLiteral("', '"))));
    return s.next() && s.integer(0) == 0 && !db.tableNames().isEmpty();
}

} // namespace

namespace schema {

QStringList tableNames(int version)
{
    QStringList names{QStringLiteral("yxsjb"),     QStringLiteral("splsjlb"), QStringLiteral("spkcb"),
                      QStringLiteral("sjlszb"),    QStringLiteral("khspb"),   QStringLiteral("cjkgl"),
                      QStringLiteral("xtsz"),      QStringLiteral("yhszb"),   QStringLiteral("khglb"),
                      QStringLiteral("quickhttp"), QStringLiteral("hickhttp")};
    if (version >= 2)
        names << QStringLiteral("jbjlb");
    return names;
}

QStringList tableNames()
{
    return tableNames(kVersion);
}

bool create(Database &db)
{
    Transaction t(db);
    const std::optional<Layout> layout = layoutOf(db);
    if (!layout || !lockChain(db, *layout))
        return false;
    static const QRegularExpression createTable(QStringLiteral("^CREATE TABLE (\\w+)"));
    for (const char16_t *sql : kTables) {
        QString table = QString::fromUtf16(sql);
        const QString name = createTable.match(table).captured(1);
        // Another branch may have made the chain's tables already.
        table.replace(createTable, (layout->sharedTable(name) ? QStringLiteral("CREATE TABLE IF NOT EXISTS ")
                                                              : QStringLiteral("CREATE TABLE ")) +
                                       layout->place(name));
        if (!db.exec(db.isServer() ? serverTable(table) : table))
            return false;
    }
    static const QRegularExpression createIndex(QStringLiteral("^CREATE INDEX (\\w+) ON (\\w+)"));
    for (const char16_t *sql : kIndexes) {
        QString index = QString::fromUtf16(sql);
        const QRegularExpressionMatch m = createIndex.match(index);
        index.replace(
            createIndex,
            QStringLiteral("CREATE INDEX %1%2 ON %3")
                .arg(layout->sharedTable(m.captured(2)) ? QStringLiteral("IF NOT EXISTS ") : QString(),
                     m.captured(1), layout->place(m.captured(2))));
        if (!db.exec(index))
            return false;
    }
    // Two counters must never give one journal number twice.
    if (db.isServer() && !db.exec(QStringLiteral(R"(CREATE UNIQUE INDEX sjlszb_id ON %1 ("ID"))")
                                      .arg(layout->place(QStringLiteral("sjlszb")))))
        return false;
    if (db.isServer() && (!createAnnouncements(db, *layout) || !markBranch(db, *layout)))
        return false;
    Settings defaults;
    defaults.overnightPrice = 10;
    defaults.minimumCharge = 1;
    defaults.roundingUnit = 1;
    defaults.overnightStart = QTime(22, 0);
    defaults.overnightEnd = QTime(8, 0);
    defaults.monthStart = 1;
    defaults.monthEnd = 31;
    if (!SettingsTable(db).save(defaults))
        return false;
    if (!db.setSchemaVersion(kVersion))
        return false;
    return t.commit();
}

QStringList sharedTables(Database &db)
{
    QStringList shared;
    if (!db.isServer())
        return shared;
    Statement s =
        db.prepare(QStringLiteral("SELECT c.relname FROM pg_class c WHERE %1 AND c.relnamespace <> %2 "
                                  "ORDER BY c.relname")
                       .arg(storeTablesCondition(), kOwnSchema));
    while (s.next())
        shared << s.text(0);
    return shared;
}

bool fresh(Database &db)
{
    return db.tableNames().isEmpty() || joiningChain(db);
}

Result<> check(Database &db)
{
    if (db.schemaVersion() > kVersion)
        return failure(QStringLiteral("数据库文件的版本比本程序新"));
    const QStringList present = db.tableNames();
    for (const QString &name : tableNames(db.schemaVersion())) {
        if (!present.contains(name))
            return failure(QStringLiteral("数据库中缺少表 %1").arg(name));
    }
    return {};
}

bool upgrade(Database &db, QString *error)
{
    if (const Result<> usable = check(db); !usable) {
        *error = usable.error();
        return false;
    }
    // Each version's step in a transaction of its own.
    if (db.schemaVersion() < 2) {
        Transaction t(db);
        const std::optional<Layout> layout = layoutOf(db);
        QString shifts = QString::fromUtf16(kShifts);
        shifts.replace(QStringLiteral("CREATE TABLE jbjlb"),
                       QStringLiteral("CREATE TABLE ") + (layout ? layout->place(QStringLiteral("jbjlb")) : QString()));
        if (!layout || !db.exec(db.isServer() ? serverTable(shifts) : shifts) ||
            (db.isServer() && !createAnnouncements(db, *layout)) || !db.setSchemaVersion(2) || !t.commit()) {
            *error = QStringLiteral("无法升级数据库（%1）").arg(db.lastError());
            return false;
        }
    }
    if (db.isServer() && !announcementsComplete(db)) {
        Transaction t(db);
        const std::optional<Layout> layout = layoutOf(db);
        if (!layout || !lockChain(db, *layout) || !createAnnouncements(db, *layout) || !t.commit()) {
            *error = QStringLiteral("无法在数据库服务器上建立变更通知（%1）").arg(db.lastError());
            return false;
        }
    }
    // Branches made before they named their chain name it now.
    if (const std::optional<Layout> layout = layoutOf(db); !layout || !markBranch(db, *layout)) {
        *error = QStringLiteral("无法升级数据库（%1）").arg(db.lastError());
        return false;
    }
    return true;
}

Chain chain(Database &db)
{
    Chain found;
    const std::optional<Layout> layout = layoutOf(db);
    if (!layout || !layout->chained() || !plainName(layout->own) || !plainName(layout->shared))
        return found;
    found.own = layout->own;
    found.shared = layout->shared;
    Statement s = db.prepare(QStringLiteral("SELECT n.nspname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                            "WHERE c.relname = 'sjlszb' AND obj_description(c.oid, 'pg_class') = %1 "
                                            "ORDER BY n.nspname")
                                 .arg(kChainMark));
    while (s.next())
        if (plainName(s.text(0)))
            found.branches << s.text(0);
    return found;
}

QString branchConnection(const QString &connection, const Chain &chain, const QString &branch)
{
    // A later "options" replaces one the connection string has; the branch is only read.
    return connection + QStringLiteral(" options='-c search_path=%1,%2 -c default_transaction_read_only=on'")
                            .arg(branch, chain.shared);
}

} // namespace schema
