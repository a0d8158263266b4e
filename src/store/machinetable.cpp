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

std::optional<Machine> MachineTable::first(const QString &where, const QVariant &value)
{
    auto s = m_db.cached(QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM yxsjb WHERE ") + where +
                         QStringLiteral(" ORDER BY rowid LIMIT 1"));
    s->bind(1, value);
    if (!s->next())
        return std::nullopt;
    Machine m = read(*s);
    auto p = m_db.cached(QStringLiteral("SELECT count(*) FROM yxsjb WHERE rowid <= ?"));
    p->bind(1, m.rowid);
    m.position = p->next() ? int(p->integer(0)) : 0;
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

bool MachineTable::startSession(qint64 rowid, const Start &st)
{
    // 到点时间 and 已收款 keep what is stored unless given.
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE yxsjb SET "状态"=?, "开始时间"=?, "上机方式"=?, "客户姓名"=?, "客户证件"=?, "证件号码"=?,
           "到点时间"=CASE WHEN ? THEN ? ELSE "到点时间" END,
           "已收款"=CASE WHEN ? THEN ? ELSE "已收款" END WHERE rowid=? AND ifnull("状态", '') NOT IN ('Y', 'P'))"));
    return s
        ->bindAll({letterOf(st.status), st.start, st.mode, st.customer, st.idKind, st.idNumber,
                   qint64(st.due.has_value()), st.due.value_or(QDateTime()), qint64(st.prepaid.has_value()),
                   st.prepaid.value_or(0), rowid})
        .run();
}

bool MachineTable::startSessionIfIdle(qint64 rowid, const Start &st, bool *started)
{
    *started = false;
    if (!lockRows({rowid}))
        return false;
    // Read under the lock: what another counter committed meanwhile counts.
    const std::optional<Machine> now = byRowid(rowid);
    if (!now || now->inSession())
        return true;
    if (!startSession(rowid, st))
        return false;
    *started = true;
    return true;
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
