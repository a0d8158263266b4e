#include "copy.h"

#include "database.h"
#include "schema.h"

#include <QLoggingCategory>
#include <QScopeGuard>

Q_LOGGING_CATEGORY(lcCopy, "corvana.store.copy")

namespace storecopy {

namespace {

enum class Kind { Integer, Real, Text };

struct Column
{
    QString name;
    Kind kind;
};

// The tables in the order every writer locks them; the ones no writer locks follow.
QStringList lockOrder()
{
    QStringList order{QStringLiteral("yxsjb"), QStringLiteral("cjkgl"),  QStringLiteral("spkcb"),
                      QStringLiteral("khglb"), QStringLiteral("sjlszb"), QStringLiteral("splsjlb")};
    for (const QString &table : schema::tableNames())
        if (!order.contains(table))
            order << table;
    return order;
}

Kind kindOf(const QString &type)
{
    const QString t = type.toLower();
    if (t.contains(u"int"))
        return Kind::Integer;
    if (t.contains(u"real") || t.contains(u"double") || t.contains(u"numeric"))
        return Kind::Real;
    return Kind::Text;
}

// The columns of `table` in their order, without the server's row order key. The server's
// table is looked up through the search path, as every statement of the store finds it.
Result<QList<Column>> columnsOf(Database &db, const QString &table)
{
    QList<Column> columns;
    Statement s =
        db.isServer()
            ? db.prepare(QStringLiteral("SELECT a.attname, format_type(a.atttypid, a.atttypmod) "
                                        "FROM pg_attribute a WHERE a.attrelid = to_regclass(?) "
                                        "AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum"))
            : db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    if (!s.isValid())
        return failure(db.lastError());
    if (db.isServer())
        s.bind(1, table);
    const int name = db.isServer() ? 0 : 1;
    const int type = db.isServer() ? 1 : 2;
    while (s.next()) {
        if (db.isServer() && s.text(name) == u"rid")
            continue;
        columns.append({s.text(name), kindOf(s.text(type))});
    }
    if (columns.isEmpty())
        return failure(QStringLiteral("数据库中缺少表 %1").arg(table));
    return columns;
}

QVariant valueAt(const Statement &s, int column, Kind kind)
{
    if (s.isNull(column))
        return QVariant();
    switch (kind) {
    case Kind::Integer:
        return s.integer(column);
    case Kind::Real:
        return s.real(column);
    case Kind::Text:
        break;
    }
    return s.text(column);
}

QString quoted(const QList<Column> &columns)
{
    QStringList names;
    for (const Column &c : columns)
        names << u'"' + c.name + u'"';
    return names.join(QStringLiteral(", "));
}

// Copies the rows of one table of `from` into the emptied table of `to`, keys and all.
Result<qint64> copyTable(Database &from, Database &to, const QString &table)
{
    const Result<QList<Column>> source = columnsOf(from, table);
    if (!source)
        return failure(source.error());
    const Result<QList<Column>> target = columnsOf(to, table);
    if (!target)
        return failure(target.error());
    QStringList sourceNames, targetNames;
    for (const Column &c : *source)
        sourceNames << c.name;
    for (const Column &c : *target)
        targetNames << c.name;
    if (sourceNames != targetNames)
        return failure(QStringLiteral("两个数据库中表 %1 的字段不同").arg(table));

    // Counted in the same snapshot: a read that stops early is told from the table's end.
    Statement count = from.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(table));
    if (!count.next())
        return failure(from.lastError());
    const qint64 expected = count.integer(0);
    count = Statement();

    Statement read =
        from.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid").arg(quoted(*source), table));
    if (!read.isValid())
        return failure(from.lastError());
    QStringList marks(source->size() + 1, QStringLiteral("?"));
    // The key is given, not drawn: the server has to be told to take it.
    const QString insert =
        to.isServer() ? QStringLiteral("INSERT INTO %1 (rid, %2) OVERRIDING SYSTEM VALUE VALUES (%3)")
                      : QStringLiteral("INSERT INTO %1 (rowid, %2) VALUES (%3)");
    Statement write = to.prepare(insert.arg(table, quoted(*source), marks.join(QStringLiteral(", "))));
    if (!write.isValid())
        return failure(to.lastError());
    qint64 rows = 0;
    while (read.next()) {
        write.bind(1, read.integer(0));
        for (int c = 0; c < source->size(); ++c)
            write.bind(c + 2, valueAt(read, c + 1, source->at(c).kind));
        const bool ok = write.run();
        write.reset();
        if (!ok)
            return failure(to.lastError());
        ++rows;
    }
    if (rows != expected)
        return failure(QStringLiteral("读取表 %1 时出错（%2）").arg(table, from.lastError()));
    if (to.isServer()) {
        // Rows added later must come after the copied ones and never take one's key.
        Statement advance = to.prepare(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'rid'), "
                                                      "coalesce(max(rid), 0) + 1, false) FROM %1")
                                           .arg(table));
        if (!advance.run())
            return failure(to.lastError());
    }
    return rows;
}

} // namespace

Result<bool> holdsData(Database &db)
{
    const QStringList shared = schema::sharedTables(db);
    for (const QString &table : schema::tableNames()) {
        if (table == u"xtsz" || shared.contains(table))
            continue;
        Statement s = db.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(table));
        if (!s.next())
            return failure(db.lastError());
        if (s.integer(0) > 0)
            return true;
    }
    return false;
}

Result<qint64> copyTables(Database &from, Database &to)
{
    if (&from == &to)
        return failure(QStringLiteral("不能把数据库复制到它自己"));
    if (const int a = from.schemaVersion(), b = to.schemaVersion(); a != b)
        return failure(QStringLiteral("两个数据库的版本不同（%1 与 %2）").arg(a).arg(b));

    // One snapshot of every table, so no other counter's commit lands half in the copy. Set for
    // the session, as a transaction on a server begins with a query of its own.
    if (from.isServer() &&
        !from.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY")))
        return failure(from.lastError());
    const auto readWriteAgain = qScopeGuard([&from] {
        if (from.isServer())
            from.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION ISOLATION LEVEL READ COMMITTED, READ WRITE"));
    });
    Transaction reading(from);

    // A branch's copy never reaches into the chain: the other branches' cards stay as they are.
    const QStringList shared = schema::sharedTables(to);
    Transaction writing(to);
    for (const QString &table : lockOrder()) {
        if (!shared.contains(table) && !to.lockTable(table))
            return failure(to.lastError());
    }
    qint64 rows = 0;
    for (const QString &table : schema::tableNames()) {
        if (shared.contains(table))
            continue;
        if (!to.exec(QStringLiteral("DELETE FROM %1").arg(table)))
            return failure(to.lastError());
        const Result<qint64> copied = copyTable(from, to, table);
        if (!copied) {
            qCWarning(lcCopy) << "copying table" << table << "failed:" << copied.error();
            return failure(copied.error());
        }
        rows += *copied;
    }
    if (!writing.commit())
        return failure(to.lastError());
    return rows;
}

} // namespace storecopy
