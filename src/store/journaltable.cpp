#include "journaltable.h"

#include "database.h"

qint64 JournalTable::nextId()
{
    // Rows are never deleted, so the highest rowid is the row count, without a scan.
    auto s = m_db.cached(QStringLiteral("SELECT ifnull(max(rowid), 0) FROM sjlszb"));
    return s->next() ? s->integer(0) + 1 : 1;
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
