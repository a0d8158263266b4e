#include "shifttable.h"

#include "database.h"

namespace {

const QString kColumns =
    QStringLiteral(R"(rowid, "柜台", "操作员", "上班时间", "交班时间", "上班备用金", "现金结帐", "储金卡结帐",
       "售卡及充值", "柜台零售", "实点现金", "留存备用金")");

Shift read(const Statement &s)
{
    return {s.integer(0),
            s.text(1),
            s.text(2),
            s.dateTime(3),
            s.dateTime(4),
            s.real(5),
            {s.real(6), s.real(7), s.real(8), s.real(9)},
            s.real(10),
            s.real(11)};
}

} // namespace

std::optional<Shift> ShiftTable::open(const QString &counter)
{
    auto s = m_db.cached(QStringLiteral(R"(SELECT %1 FROM jbjlb WHERE "柜台"=? AND "交班时间" IS NULL
                                           ORDER BY rowid LIMIT 1)")
                             .arg(kColumns));
    s->bind(1, counter);
    if (!s->next())
        return std::nullopt;
    return read(*s);
}

std::optional<Shift> ShiftTable::begin(const QString &counter, const QString &operatorName,
                                       const QDateTime &when)
{
    if (std::optional<Shift> shift = open(counter))
        return shift;
    double handedOver = 0;
    {
        auto last = m_db.cached(QStringLiteral(R"(SELECT "留存备用金" FROM jbjlb WHERE "柜台"=?
                                                  AND "交班时间" IS NOT NULL ORDER BY "交班时间" DESC, rowid DESC LIMIT 1)"));
        last->bind(1, counter);
        if (last->next())
            handedOver = last->real(0);
    }
    auto s = m_db.cached(QStringLiteral(R"(INSERT INTO jbjlb ("柜台", "操作员", "上班时间", "上班备用金")
                                           VALUES (?,?,?,?))"));
    if (!s->bindAll({counter, operatorName, when, handedOver}).run())
        return std::nullopt;
    return open(counter);
}

bool ShiftTable::add(const QString &counter, const QString &operatorName, const QDateTime &when,
                     const Takings &t)
{
    // Into the open shift in one statement, as every action that takes money does; only the
    // first of a shift opens it first. credit() gives the rows credited: 1, or 0 while no shift
    // is open; -1 when the statement failed.
    const auto credit = [&]() -> qint64 {
        auto s = m_db.cached(
            QStringLiteral(R"(UPDATE jbjlb SET "现金结帐"="现金结帐"+?, "储金卡结帐"="储金卡结帐"+?,
                                               "售卡及充值"="售卡及充值"+?, "柜台零售"="柜台零售"+?
                                               WHERE rowid=(SELECT rowid FROM jbjlb WHERE "柜台"=? AND "交班时间" IS NULL
                                                            ORDER BY rowid LIMIT 1))"));
        return s->bindAll({t.sessionCash, t.cardPaid, t.cardSales, t.counterSales, counter}).run() ? s->changedRows()
                                                                                                   : -1;
    };
    if (const qint64 credited = credit(); credited != 0)
        return credited > 0;
    return begin(counter, operatorName, when) && credit() > 0;
}

bool ShiftTable::close(qint64 rowid, const QDateTime &when, double counted, double left)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE jbjlb SET "交班时间"=?, "实点现金"=?, "留存备用金"=?
                                           WHERE rowid=? AND "交班时间" IS NULL)"));
    return s->bindAll({when, counted, left, rowid}).run();
}

QList<Shift> ShiftTable::closed()
{
    QList<Shift> result;
    auto s = m_db.cached(
        QStringLiteral(
            R"(SELECT %1 FROM jbjlb WHERE "交班时间" IS NOT NULL ORDER BY "交班时间" DESC, rowid DESC)")
            .arg(kColumns));
    while (s->next())
        result.append(read(*s));
    return result;
}
