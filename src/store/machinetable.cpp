#include "machinetable.h"

#include "database.h"

namespace {

const QString kColumns = QStringLiteral(
    R"(rowid, "机号", "名称", "IP", "单位费用", "状态", "开始时间", "到点时间", "暂停开始",
       "暂停时间", "已收款", "上机方式", "客户姓名", "客户证件", "证件号码")");

Machine read(const Statement &s)
{
    Machine m;
    m.rowid = s.integer(0);
    m.number = int(s.integer(1));
    m.name = s.text(2);
    m.ip = s.text(3);
    m.rate = s.real(4);
    m.status = machineStatusFromLetter(s.text(5));
    m.start = s.dateTime(6);
    m.due = s.dateTime(7);
    m.pauseStart = s.dateTime(8);
    m.pauseMinutes = s.real(9);
    m.prepaid = s.real(10);
    m.mode = s.text(11);
    m.customer = s.text(12);
    m.idKind = s.text(13);
    m.idNumber = s.text(14);
    return m;
}

// The list position of machine m: the machines before it and itself.
const QString kPosition = QStringLiteral("(SELECT count(*) FROM yxsjb p WHERE p.rowid <= m.rowid)");

// The machine's columns as kColumns (m), then its position, the tariff (t) and one priced goods
// line (l, a): a machine without lines comes once with the line's columns NULL.
const QString kFeeInputs = QStringLiteral(
    R"(SELECT m.rowid, m."机号", m."名称", m."IP", m."单位费用", m."状态", m."开始时间", m."到点时间",
              m."暂停开始", m."暂停时间", m."已收款", m."上机方式", m."客户姓名", m."客户证件", m."证件号码", )") +
    kPosition + QStringLiteral(R"(,
              t.r, t."通宵金额", t."最低消费额", t."取整金额",
              l.rowid, l."机号", l."商品编号", l."数量", l."时间", a.rowid, a."商品名称", a."零售价格"
       FROM yxsjb m
       LEFT JOIN (SELECT rowid AS r, "通宵金额", "最低消费额", "取整金额" FROM xtsz ORDER BY rowid LIMIT 1) t
           ON 1 = 1
       LEFT JOIN splsjlb l ON l."机号" = m."机号" AND %1
       LEFT JOIN spkcb a ON a.rowid =
           (SELECT rowid FROM spkcb WHERE "商品编号" = l."商品编号" ORDER BY rowid LIMIT 1)
       %2 ORDER BY m.rowid, l.rowid)");

FeeInputs readFeeInputs(Statement &s)
{
    FeeInputs in;
    while (s.next()) {
        if (in.machines.isEmpty() || in.machines.constLast().machine.rowid != s.integer(0)) {
            Machine m = read(s);
            m.position = int(s.integer(15));
            in.machines.append({m, {}});
        }
        if (!in.tariff && !s.isNull(16)) {
            Settings t;
            t.overnightPrice = s.real(17);
            if (!s.isNull(18))
                t.minimumCharge = s.real(18);
            t.roundingUnit = s.real(19);
            in.tariff = t;
        }
        if (!s.isNull(20))
            in.machines.last().lines.append(
                {{s.integer(20), int(s.integer(21)), s.text(22), s.real(23), s.dateTime(24)},
                 !s.isNull(25),
                 s.text(26),
                 s.real(27)});
    }
    return in;
}

// "?,?,…" for `n` values.
QString placeholders(qsizetype n)
{
    QString out;
    for (qsizetype i = 0; i < n; ++i)
        out += i ? QStringLiteral(",?") : QStringLiteral("?");
    return out;
}

QVariantList values(const Machine &m)
{
    return {m.number,     m.name,         m.ip,      m.rate, letterOf(m.status), m.start,  m.due,
            m.pauseStart, m.pauseMinutes, m.prepaid, m.mode, m.customer,         m.idKind, m.idNumber};
}

} // namespace

int MachineTable::count()
{
    auto s = m_db.cached(QStringLiteral("SELECT count(*) FROM yxsjb"));
    return s->next() ? int(s->integer(0)) : 0;
}

QList<Machine> MachineTable::all()
{
    QList<Machine> result;
    auto s = m_db.cached(QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM yxsjb ORDER BY rowid"));
    while (s->next()) {
        result.append(read(*s));
        result.last().position = int(result.size());
    }
    return result;
}

std::optional<Machine> MachineTable::at(int position)
{
    if (position < 1)
        return std::nullopt;
    auto s = m_db.cached(QStringLiteral("SELECT ") + kColumns +
                         QStringLiteral(" FROM yxsjb ORDER BY rowid LIMIT 1 OFFSET ?"));
    s->bind(1, position - 1);
    if (!s->next())
        return std::nullopt;
    Machine m = read(*s);
    m.position = position;
    return m;
}

std::optional<Machine> MachineTable::byRowid(qint64 rowid)
{
    return first(QStringLiteral("rowid = ?"), rowid);
}

std::optional<Machine> MachineTable::byNumber(int number)
{
    return first(QStringLiteral(R"("机号" = ?)"), number);
}

std::optional<Machine> MachineTable::byIp(const QString &ip)
{
    if (ip.isEmpty())
        return std::nullopt;
    return first(QStringLiteral(R"("IP" = ?)"), ip);
}

const FeeInputs::Entry *FeeInputs::find(qint64 rowid) const
{
    for (const Entry &e : machines)
        if (e.machine.rowid == rowid)
            return &e;
    return nullptr;
}

FeeInputs MachineTable::allWithLinesOf(int position)
{
    auto s = m_db.cached(kFeeInputs.arg(
        QStringLiteral("m.rowid = (SELECT rowid FROM yxsjb ORDER BY rowid LIMIT 1 OFFSET ?)"), QString()));
    s->bind(1, position - 1);
    return readFeeInputs(*s);
}

FeeInputs MachineTable::withLines(const QList<qint64> &rowids)
{
    if (rowids.isEmpty())
        return {};
    auto s = m_db.cached(kFeeInputs.arg(
        QStringLiteral("1 = 1"), QStringLiteral("WHERE m.rowid IN (%1)").arg(placeholders(rowids.size()))));
    for (qsizetype i = 0; i < rowids.size(); ++i)
        s->bind(int(i + 1), rowids.at(i));
    return readFeeInputs(*s);
}

std::optional<Machine> MachineTable::first(const QString &where, const QVariant &value)
{
    // Its position in the list comes along.
    auto s = m_db.cached(QStringLiteral("SELECT ") + kColumns + QStringLiteral(", ") + kPosition +
                         QStringLiteral(" FROM yxsjb m WHERE ") + where + QStringLiteral(" ORDER BY rowid LIMIT 1"));
    s->bind(1, value);
    if (!s->next())
        return std::nullopt;
    Machine m = read(*s);
    m.position = int(s->integer(15));
    return m;
}

bool MachineTable::save(const Machine &m)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE yxsjb SET "机号"=?, "名称"=?, "IP"=?, "单位费用"=?, "状态"=?, "开始时间"=?,
           "到点时间"=?, "暂停开始"=?, "暂停时间"=?, "已收款"=?, "上机方式"=?, "客户姓名"=?,
           "客户证件"=?, "证件号码"=? WHERE rowid=?)"));
    QVariantList v = values(m);
    v << m.rowid;
    return s->bindAll(v).run();
}

bool MachineTable::add(const Machine &m)
{
    auto s = m_db.cached(QStringLiteral(
        R"(INSERT INTO yxsjb ("机号", "名称", "IP", "单位费用", "状态", "开始时间", "到点时间",
           "暂停开始", "暂停时间", "已收款", "上机方式", "客户姓名", "客户证件", "证件号码")
           VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?))"));
    return s->bindAll(values(m)).run();
}

bool MachineTable::setStatus(qint64 rowid, MachineStatus from, MachineStatus to)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE yxsjb SET "状态"=? WHERE rowid=? AND "状态"=?)"));
    return s->bindAll({letterOf(to), rowid, letterOf(from)}).run();
}

bool MachineTable::recordAnnouncement(qint64 rowid, const QString &ip)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE yxsjb SET "IP" = ?, "状态" = CASE WHEN "状态" = 'N' THEN 'S' ELSE "状态" END WHERE rowid = ?)"));
    return s->bindAll({ip, rowid}).run();
}

bool MachineTable::turnOffStandbyAt(const QString &ip)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE yxsjb SET "状态" = 'N' WHERE "IP" = ? AND "状态" = 'S')"));
    return s->bind(1, ip).run();
}

bool MachineTable::startSessionIfIdle(qint64 rowid, const Start &st, bool *started)
{
    // One statement checks and takes the machine: on a server an update waits for another
    // counter's on the same row, then checks what that one committed.
    // 到点时间 and 已收款 keep what is stored unless given.
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE yxsjb SET "状态"=?, "开始时间"=?, "上机方式"=?, "客户姓名"=?, "客户证件"=?, "证件号码"=?,
           "到点时间"=CASE WHEN ? THEN ? ELSE "到点时间" END,
           "已收款"=CASE WHEN ? THEN ? ELSE "已收款" END WHERE rowid=? AND ifnull("状态", '') NOT IN ('Y', 'P'))"));
    const bool ran =
        s->bindAll({letterOf(st.status), st.start, st.mode, st.customer, st.idKind, st.idNumber,
                    qint64(st.due.has_value()), st.due.value_or(QDateTime()), qint64(st.prepaid.has_value()),
                    st.prepaid.value_or(0), rowid})
            .run();
    *started = ran && s->changedRows() == 1;
    return ran;
}

bool MachineTable::changeSession(qint64 rowid, const std::optional<QDateTime> &due, const QString &customer,
                                 const QString &idKind, const QString &idNumber, double prepaid)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE yxsjb SET "到点时间"=CASE WHEN ? THEN ? ELSE "到点时间" END,
           "客户证件"=?, "客户姓名"=?, "证件号码"=?, "已收款"=? WHERE rowid=?)"));
    return s
        ->bindAll(
            {qint64(due.has_value()), due.value_or(QDateTime()), idKind, customer, idNumber, prepaid, rowid})
        .run();
}

bool MachineTable::takeSession(qint64 rowid, const Machine &from)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE yxsjb SET "开始时间"=?, "到点时间"=?, "已收款"=?, "暂停开始"=?, "暂停时间"=?, "状态"=?,
           "上机方式"=?, "客户姓名"=?, "客户证件"=?, "证件号码"=? WHERE rowid=?)"));
    return s
        ->bindAll({from.start, from.due, from.prepaid, from.pauseStart, from.pauseMinutes,
                   letterOf(from.status), from.mode, from.customer, from.idKind, from.idNumber, rowid})
        .run();
}

bool MachineTable::resetSession(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE yxsjb SET "开始时间"=NULL, "到点时间"=NULL, "暂停开始"=NULL, "暂停时间"=0, "已收款"=0,
           "状态"='S', "上机方式"='', "客户姓名"='', "客户证件"='', "证件号码"='' WHERE rowid=?)"));
    return s->bind(1, rowid).run();
}

bool MachineTable::resetSessions(const QList<qint64> &rowids)
{
    if (rowids.isEmpty())
        return true;
    auto s = m_db.cached(
        QStringLiteral(
            R"(UPDATE yxsjb SET "开始时间"=NULL, "到点时间"=NULL, "暂停开始"=NULL, "暂停时间"=0, "已收款"=0,
           "状态"='S', "上机方式"='', "客户姓名"='', "客户证件"='', "证件号码"='' WHERE rowid IN (%1))")
            .arg(placeholders(rowids.size())));
    for (qsizetype i = 0; i < rowids.size(); ++i)
        s->bind(int(i + 1), rowids.at(i));
    return s->run();
}

bool MachineTable::clearDue(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE yxsjb SET "到点时间"=NULL WHERE rowid=?)"));
    return s->bind(1, rowid).run();
}

bool MachineTable::lockAll()
{
    return m_db.lockTable(QStringLiteral("yxsjb"));
}

bool MachineTable::lockRows(const QList<qint64> &rowids)
{
    return m_db.lockRows(QStringLiteral("yxsjb"), rowids);
}

bool MachineTable::editDetails(qint64 rowid, const QString &name, const QString &ip, double rate)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE yxsjb SET "名称"=?, "IP"=?, "单位费用"=? WHERE rowid=?)"));
    return s->bindAll({name, ip, rate, rowid}).run();
}

bool MachineTable::setNumberAndName(qint64 rowid, int number, const QString &name)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE yxsjb SET "机号"=?, "名称"=? WHERE rowid=?)"));
    return s->bindAll({number, name, rowid}).run();
}

bool MachineTable::remove(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral("DELETE FROM yxsjb WHERE rowid=?"));
    return s->bind(1, rowid).run();
}

bool MachineTable::setAllRates(double rate)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE yxsjb SET "单位费用"=?)"));
    return s->bind(1, rate).run();
}
