#include "journaltable.h"

#include "database.h"

#include "common/formats.h"

namespace {

// The number of rows. Rows are never deleted, so in the file the highest rowid is the row
// count, without a scan. A server's row keys skip the numbers of rolled-back inserts: count there.
QString rowCount(Database &db)
{
    return db.isServer() ? QStringLiteral("SELECT count(*) FROM sjlszb")
                         : QStringLiteral("SELECT ifnull(max(rowid), 0) FROM sjlszb");
}

} // namespace

qint64 JournalTable::nextId()
{
    auto s = m_db.cached(rowCount(m_db));
    return s->next() ? s->integer(0) + 1 : 1;
}

bool JournalTable::lockForNumbering()
{
    return m_db.lockTable(QStringLiteral("sjlszb"));
}

bool JournalTable::addNumbered(const JournalEntry &e)
{
    auto s = m_db.cached(
        QStringLiteral(
            R"(INSERT INTO sjlszb ("ID", "机号", "开始时间", "结束时间", "上机方式", "应收款", "实收款",
           "优惠", "结帐人", "客户姓名", "客户证件", "证件号码") VALUES ((%1) + 1,?,?,?,?,?,?,?,?,?,?,?))")
            .arg(rowCount(m_db)));
    return s
        ->bindAll({e.machine, e.start, e.end, e.mode, e.due, e.received, e.discount, e.cashier, e.customer,
                   e.idKind, e.idNumber})
        .run();
}

bool JournalTable::hasSession(int machine, const QDateTime &start)
{
    // Its end lies after its start: the index on 结束时间 narrows the search.
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT 1 FROM sjlszb WHERE "结束时间" >= ?1 AND "开始时间" = ?1 AND "机号" = ?2 LIMIT 1)"));
    s->bindAll({start, machine});
    return s->next();
}

bool JournalTable::add(const JournalEntry &e)
{
    auto s = m_db.cached(QStringLiteral(
        R"(INSERT INTO sjlszb ("ID", "机号", "开始时间", "结束时间", "上机方式", "应收款", "实收款",
           "优惠", "结帐人", "客户姓名", "客户证件", "证件号码") VALUES (?,?,?,?,?,?,?,?,?,?,?,?))"));
    return s->bindAll({e.id, e.machine, e.start, e.end, e.mode, e.due, e.received, e.discount,
                       e.cashier, e.customer, e.idKind, e.idNumber})
        .run();
}

QList<JournalEntry> JournalTable::endedBetween(const QDateTime &from, const QDateTime &to)
{
    QList<JournalEntry> result;
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT "ID", "机号", "开始时间", "结束时间", "上机方式", "应收款", "实收款", "优惠",
           "结帐人", "客户姓名", "客户证件", "证件号码" FROM sjlszb
           WHERE "结束时间" >= ? AND "结束时间" <= ? ORDER BY rowid)"));
    s->bindAll({from, to});
    while (s->next()) {
        result.append({s->integer(0), int(s->integer(1)), s->dateTime(2), s->dateTime(3), s->text(4),
                       s->real(5), s->real(6), s->real(7), s->text(8), s->text(9), s->text(10),
                       s->text(11)});
    }
    return result;
}

qint64 JournalTable::countEndedBetween(const QDateTime &from, const QDateTime &to)
{
    auto s = m_db.cached(
        QStringLiteral(R"(SELECT count(*) FROM sjlszb WHERE "结束时间" >= ? AND "结束时间" <= ?)"));
    s->bindAll({storedDateTime(from), storedDateTime(to)});
    return s->next() ? s->integer(0) : 0;
}

QList<JournalRecord> JournalTable::endedBetweenPage(const PeriodPlace &after, const QDateTime &to, int limit)
{
    // Keyed on (结束时间, rowid), which the index on 结束时间 yields in order without a sort.
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT rowid, "ID", "机号", "开始时间", "结束时间", "上机方式", "应收款", "实收款", "优惠",
           "结帐人", "客户姓名", "客户证件", "证件号码" FROM sjlszb
           WHERE "结束时间" >= ?1 AND "结束时间" <= ?2 AND ("结束时间" > ?1 OR rowid > ?3)
           ORDER BY "结束时间", rowid LIMIT ?4)"));
    s->bindAll({after.time, storedDateTime(to), after.rowid, limit});
    QList<JournalRecord> result;
    result.reserve(limit);
    while (s->next()) {
        result.append({s->integer(0), s->integer(1), int(s->integer(2)), s->text(3), s->text(4), s->text(5),
                       s->real(6), s->real(7), s->real(8), s->text(9), s->text(10), s->text(11),
                       s->text(12)});
    }
    return result;
}

QList<JournalRecord> JournalTable::moneyEndedBetweenPage(const PeriodPlace &after, const QDateTime &to, int limit)
{
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT rowid, "机号", "开始时间", "结束时间", "应收款", "实收款" FROM sjlszb
           WHERE "结束时间" >= ?1 AND "结束时间" <= ?2 AND ("结束时间" > ?1 OR rowid > ?3)
           ORDER BY "结束时间", rowid LIMIT ?4)"));
    s->bindAll({after.time, storedDateTime(to), after.rowid, limit});
    QList<JournalRecord> result;
    result.reserve(limit);
    while (s->next()) {
        JournalRecord r;
        r.rowid = s->integer(0);
        r.machine = int(s->integer(1));
        r.start = s->text(2);
        r.end = s->text(3);
        r.due = s->real(4);
        r.received = s->real(5);
        result.append(std::move(r));
    }
    return result;
}
