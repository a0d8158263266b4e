#include "accounttables.h"

#include "common/numbers.h"
#include "database.h"

#include <QStringList>

namespace {

const QString kCardColumns = QStringLiteral(
    R"(rowid, "卡号", "总金额", "总机时", "密码", "客户编号", "已用机时", "上机次数", "金额")");

Card readCard(const Statement &s)
{
    return {s.integer(0), s.text(1), s.real(2), s.real(3), s.text(4),
            s.text(5),    s.real(6), int(s.integer(7)), s.real(8)};
}

const QString kCustomerColumns = QStringLiteral(
    R"(rowid, "编号", "客户姓名", "证件", "证件号码", "电话", "呼机", "手机", "E-Mail", "消费额",
       "消费次数", "最后一次时间")");

Customer readCustomer(const Statement &s)
{
    return {s.integer(0), s.text(1), s.text(2), s.text(3),  s.text(4),        s.text(5),
            s.text(6),    s.text(7), s.text(8), s.real(9), int(s.integer(10)), s.dateTime(11)};
}

const QString kOperatorColumns = QStringLiteral(
    R"(rowid, "用户名称", "用户密码", "权限", "字体", "字号", "字体颜色", "粗体", "斜体", "背景", "背景颜色")");

Operator readOperator(const Statement &s)
{
    Operator o;
    o.rowid = s.integer(0);
    o.name = s.text(1);
    o.password = s.text(2);
    o.right = s.text(3);
    o.fontName = s.text(4);
    o.fontSize = s.real(5);
    o.textColor = s.integer(6);
    o.bold = s.integer(7) != 0;
    o.italic = s.integer(8) != 0;
    o.background = s.text(9);
    o.backgroundColor = s.isNull(10) ? Operator::kSystemWindowColor : s.integer(10);
    return o;
}

} // namespace

QList<Card> CardTable::all()
{
    QList<Card> result;
    auto s = m_db.cached(QStringLiteral("SELECT ") + kCardColumns + QStringLiteral(" FROM cjkgl ORDER BY rowid"));
    while (s->next())
        result.append(readCard(*s));
    return result;
}

std::optional<Card> CardTable::byNumber(const QString &number)
{
    auto s = m_db.cached(QStringLiteral("SELECT ") + kCardColumns +
                         QStringLiteral(R"( FROM cjkgl WHERE "卡号" = ? ORDER BY rowid LIMIT 1)"));
    s->bind(1, number);
    if (!s->next())
        return std::nullopt;
    return readCard(*s);
}

std::optional<Card> CardTable::find(const QString &number, const QString &password)
{
    auto s = m_db.cached(QStringLiteral("SELECT ") + kCardColumns +
                         QStringLiteral(R"( FROM cjkgl WHERE "卡号" = ? AND ifnull("密码", '') = ?
                                            ORDER BY rowid LIMIT 1)"));
    s->bindAll({number, password});
    if (!s->next())
        return std::nullopt;
    return readCard(*s);
}

bool CardTable::add(const Card &c)
{
    auto s = m_db.cached(QStringLiteral(
        R"(INSERT INTO cjkgl ("卡号", "总金额", "总机时", "密码", "客户编号", "已用机时", "上机次数", "金额")
           VALUES (?,?,?,?,?,?,?,?))"));
    return s->bindAll({c.number, c.total, c.totalHours, c.password, c.customer, c.usedHours, c.sessions, c.balance})
        .run();
}

bool CardTable::save(const Card &c)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE cjkgl SET "卡号"=?, "总金额"=?, "总机时"=?, "密码"=?, "客户编号"=?, "已用机时"=?,
           "上机次数"=?, "金额"=? WHERE rowid=?)"));
    return s->bindAll({c.number, c.total, c.totalHours, c.password, c.customer, c.usedHours, c.sessions,
                       c.balance, c.rowid})
        .run();
}

bool CardTable::remove(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral("DELETE FROM cjkgl WHERE rowid=?"));
    return s->bind(1, rowid).run();
}

std::optional<Card> CardTable::byRowid(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral("SELECT ") + kCardColumns + QStringLiteral(" FROM cjkgl WHERE rowid = ?"));
    s->bind(1, rowid);
    if (!s->next())
        return std::nullopt;
    return readCard(*s);
}

std::optional<Card> CardTable::byRowidOwnerNamed(qint64 rowid, const QStringList &names, bool *ownerNamed)
{
    *ownerNamed = false;
    QString among = QStringLiteral("1 = 0"); // no names: nobody is among them
    if (!names.isEmpty()) {
        QString marks;
        for (qsizetype i = 0; i < names.size(); ++i)
            marks += i ? QStringLiteral(",?") : QStringLiteral("?");
        among = QStringLiteral(R"(k."客户姓名" <> '' AND k."客户姓名" IN (%1))").arg(marks);
    }
    auto s =
        m_db.cached(QStringLiteral("SELECT ") + kCardColumns +
                    QStringLiteral(R"(, EXISTS (SELECT 1 FROM khglb k WHERE k."编号" = c."客户编号" AND %1)
                                            FROM cjkgl c WHERE c.rowid = ?)")
                        .arg(among));
    int index = 0;
    for (const QString &name : names)
        s->bind(++index, name);
    s->bind(++index, rowid);
    if (!s->next())
        return std::nullopt;
    *ownerNamed = s->integer(9) != 0;
    return readCard(*s);
}

QList<Card> CardTable::numbered(const QString &number)
{
    QList<Card> result;
    auto s = m_db.cached(QStringLiteral("SELECT ") + kCardColumns +
                         QStringLiteral(R"( FROM cjkgl WHERE "卡号" = ? ORDER BY rowid)"));
    s->bind(1, number);
    while (s->next())
        result.append(readCard(*s));
    return result;
}

QStringList CardTable::numbers()
{
    QStringList result;
    auto s = m_db.cached(QStringLiteral(R"(SELECT ifnull("卡号", '') FROM cjkgl)"));
    while (s->next())
        result << s->text(0);
    return result;
}

bool CardTable::anyOfCustomer(const QString &customerNumber)
{
    auto s = m_db.cached(QStringLiteral(R"(SELECT 1 FROM cjkgl WHERE "客户编号" = ? LIMIT 1)"));
    s->bind(1, customerNumber);
    return s->next();
}

bool CardTable::addIssued(const Card &c)
{
    auto s = m_db.cached(QStringLiteral(
        R"(INSERT INTO cjkgl ("卡号", "总金额", "总机时", "密码", "客户编号", "金额") VALUES (?,?,?,?,?,?))"));
    return s->bindAll({c.number, c.total, c.totalHours, c.password, c.customer, c.balance}).run();
}

bool CardTable::saveTerms(qint64 rowid, double total, double totalHours, double balance)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE cjkgl SET "总金额"=?, "总机时"=?, "金额"=? WHERE rowid=?)"));
    return s->bindAll({total, totalHours, balance, rowid}).run();
}

bool CardTable::setPassword(qint64 rowid, const QString &password)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE cjkgl SET "密码"=? WHERE rowid=?)"));
    return s->bindAll({password, rowid}).run();
}

QList<Customer> CustomerTable::all()
{
    QList<Customer> result;
    auto s = m_db.cached(QStringLiteral("SELECT ") + kCustomerColumns +
                         QStringLiteral(" FROM khglb ORDER BY rowid"));
    while (s->next())
        result.append(readCustomer(*s));
    return result;
}

std::optional<Customer> CustomerTable::byName(const QString &name)
{
    auto s = m_db.cached(QStringLiteral("SELECT ") + kCustomerColumns +
                         QStringLiteral(R"( FROM khglb WHERE "客户姓名" = ? ORDER BY rowid LIMIT 1)"));
    s->bind(1, name);
    if (!s->next())
        return std::nullopt;
    return readCustomer(*s);
}

QString CustomerTable::nextNumber()
{
    QStringList used;
    auto s = m_db.cached(QStringLiteral(R"(SELECT "编号" FROM khglb)"));
    while (s->next())
        used << s->text(0);
    return nextFreeNumber(used);
}

QString CustomerTable::reserveNumber()
{
    if (!m_db.lockTable(QStringLiteral("khglb")))
        return QString();
    return nextNumber();
}

bool CustomerTable::add(const Customer &c)
{
    auto s = m_db.cached(QStringLiteral(
        R"(INSERT INTO khglb ("编号", "客户姓名", "证件", "证件号码", "电话", "呼机", "手机", "E-Mail",
           "消费额", "消费次数", "最后一次时间") VALUES (?,?,?,?,?,?,?,?,?,?,?))"));
    return s->bindAll({c.number, c.name, c.idKind, c.idNumber, c.phone, c.pager, c.mobile, c.email, c.spent,
                       c.visits, c.lastVisit})
        .run();
}

bool CustomerTable::save(const Customer &c)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE khglb SET "编号"=?, "客户姓名"=?, "证件"=?, "证件号码"=?, "电话"=?, "呼机"=?, "手机"=?,
           "E-Mail"=?, "消费额"=?, "消费次数"=?, "最后一次时间"=? WHERE rowid=?)"));
    return s->bindAll({c.number, c.name, c.idKind, c.idNumber, c.phone, c.pager, c.mobile, c.email, c.spent,
                       c.visits, c.lastVisit, c.rowid})
        .run();
}

bool CustomerTable::remove(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral("DELETE FROM khglb WHERE rowid=?"));
    return s->bind(1, rowid).run();
}

std::optional<Customer> CustomerTable::byRowid(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral("SELECT ") + kCustomerColumns + QStringLiteral(" FROM khglb WHERE rowid = ?"));
    s->bind(1, rowid);
    if (!s->next())
        return std::nullopt;
    return readCustomer(*s);
}

bool CustomerTable::addDetails(const Customer &c)
{
    auto s = m_db.cached(QStringLiteral(
        R"(INSERT INTO khglb ("编号", "客户姓名", "证件", "证件号码", "电话", "呼机", "手机", "E-Mail")
           VALUES (?,?,?,?,?,?,?,?))"));
    return s->bindAll({c.number, c.name, c.idKind, c.idNumber, c.phone, c.pager, c.mobile, c.email}).run();
}

bool CustomerTable::saveDetails(const Customer &c)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE khglb SET "客户姓名"=?, "证件"=?, "证件号码"=?, "电话"=?, "呼机"=?, "手机"=?, "E-Mail"=?
           WHERE rowid=?)"));
    return s->bindAll({c.name, c.idKind, c.idNumber, c.phone, c.pager, c.mobile, c.email, c.rowid}).run();
}

bool CustomerTable::addVisitByName(const QString &name, double amount, const QDateTime &when)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE khglb SET "消费额" = ifnull("消费额", 0) + ?, "消费次数" = ifnull("消费次数", 0) + 1,
           "最后一次时间" = ? WHERE "客户姓名" = ?)"));
    return s->bindAll({amount, when, name}).run();
}

bool CustomerTable::addVisitByNumber(const QString &number, double amount, const QDateTime &when)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE khglb SET "消费额" = ifnull("消费额", 0) + ?, "消费次数" = ifnull("消费次数", 0) + 1,
           "最后一次时间" = ? WHERE "编号" = ?)"));
    return s->bindAll({amount, when, number}).run();
}

int OperatorTable::count()
{
    auto s = m_db.cached(QStringLiteral("SELECT count(*) FROM yhszb"));
    return s->next() ? int(s->integer(0)) : 0;
}

std::optional<int> OperatorTable::rowCount()
{
    Statement s = m_db.prepare(QStringLiteral("SELECT count(*) FROM yhszb"));
    if (!s.next())
        return std::nullopt;
    return int(s.integer(0));
}

QList<Operator> OperatorTable::all()
{
    QList<Operator> result;
    auto s = m_db.cached(QStringLiteral("SELECT ") + kOperatorColumns +
                         QStringLiteral(" FROM yhszb ORDER BY rowid"));
    while (s->next())
        result.append(readOperator(*s));
    return result;
}

std::optional<Operator> OperatorTable::byName(const QString &name)
{
    auto s = m_db.cached(QStringLiteral("SELECT ") + kOperatorColumns +
                         QStringLiteral(R"( FROM yhszb WHERE "用户名称" = ? ORDER BY rowid LIMIT 1)"));
    s->bind(1, name);
    if (!s->next())
        return std::nullopt;
    return readOperator(*s);
}

std::optional<Operator> OperatorTable::find(const QString &name, const QString &password)
{
    auto s = m_db.cached(QStringLiteral("SELECT ") + kOperatorColumns +
                         QStringLiteral(R"( FROM yhszb WHERE "用户名称" = ? AND ifnull("用户密码", '') = ?
                                            ORDER BY rowid LIMIT 1)"));
    s->bindAll({name, password});
    if (!s->next())
        return std::nullopt;
    return readOperator(*s);
}

bool OperatorTable::add(const Operator &o)
{
    auto s = m_db.cached(QStringLiteral(
        R"(INSERT INTO yhszb ("用户名称", "用户密码", "权限", "字体", "字号", "字体颜色", "粗体", "斜体",
           "背景", "背景颜色") VALUES (?,?,?,?,?,?,?,?,?,?))"));
    return s->bindAll({o.name, o.password, o.right, o.fontName, o.fontSize, o.textColor, o.bold, o.italic,
                       o.background, o.backgroundColor})
        .run();
}

bool OperatorTable::save(const Operator &o)
{
    auto s = m_db.cached(QStringLiteral(
        R"(UPDATE yhszb SET "用户名称"=?, "用户密码"=?, "权限"=?, "字体"=?, "字号"=?, "字体颜色"=?,
           "粗体"=?, "斜体"=?, "背景"=?, "背景颜色"=? WHERE rowid=?)"));
    return s->bindAll({o.name, o.password, o.right, o.fontName, o.fontSize, o.textColor, o.bold, o.italic,
                       o.background, o.backgroundColor, o.rowid})
        .run();
}

std::optional<Operator> OperatorTable::byRowid(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral("SELECT ") + kOperatorColumns + QStringLiteral(" FROM yhszb WHERE rowid = ?"));
    s->bind(1, rowid);
    if (!s->next())
        return std::nullopt;
    return readOperator(*s);
}

QList<Operator> OperatorTable::named(const QString &name)
{
    QList<Operator> result;
    auto s = m_db.cached(QStringLiteral("SELECT ") + kOperatorColumns +
                         QStringLiteral(R"( FROM yhszb WHERE "用户名称" = ? ORDER BY rowid)"));
    s->bind(1, name);
    while (s->next())
        result.append(readOperator(*s));
    return result;
}

bool OperatorTable::addAccount(const QString &name, const QString &password, const QString &right)
{
    auto s = m_db.cached(QStringLiteral(R"(INSERT INTO yhszb ("用户名称", "用户密码", "权限") VALUES (?,?,?))"));
    return s->bindAll({name, password, right}).run();
}

bool OperatorTable::saveAccount(qint64 rowid, const QString &name, const QString &password, const QString &right)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE yhszb SET "用户名称"=?, "用户密码"=?, "权限"=? WHERE rowid=?)"));
    return s->bindAll({name, password, right, rowid}).run();
}

bool OperatorTable::setPassword(qint64 rowid, const QString &password)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE yhszb SET "用户密码"=? WHERE rowid=?)"));
    return s->bindAll({password, rowid}).run();
}

bool OperatorTable::remove(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral("DELETE FROM yhszb WHERE rowid=?"));
    return s->bind(1, rowid).run();
}

bool OperatorDisplayTable::update(const QString &name, const QString &assignments, QVariantList values)
{
    if (!OperatorTable(m_db).byName(name))
        return false;
    auto s = m_db.cached(QStringLiteral("UPDATE yhszb SET ") + assignments +
                         QStringLiteral(R"( WHERE rowid = (SELECT rowid FROM yhszb WHERE "用户名称" = ?
                                            ORDER BY rowid LIMIT 1))"));
    values.append(name);
    return s->bindAll(values).run();
}

bool OperatorDisplayTable::setFont(const QString &name, const QString &fontName, double size, qint64 color,
                                   bool bold, bool italic)
{
    return update(name, QStringLiteral(R"("字体"=?, "字号"=?, "字体颜色"=?, "粗体"=?, "斜体"=?)"),
                  {fontName, size, color, int(bold), int(italic)});
}

bool OperatorDisplayTable::setBackground(const QString &name, const QString &path)
{
    return update(name, QStringLiteral(R"("背景"=?)"), {path});
}

bool OperatorDisplayTable::setBackgroundColor(const QString &name, qint64 color)
{
    return update(name, QStringLiteral(R"("背景颜色"=?)"), {color});
}
