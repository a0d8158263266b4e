#include "describe.h"

#include "common/numbers.h"

#include <QStringList>

namespace audit {

namespace {

using Fields = QList<std::pair<QString, QString>>;

Fields fieldsOf(const Article &a)
{
    return {{QStringLiteral("编号"), a.number}, {QStringLiteral("名称"), a.name},
            {QStringLiteral("进价"), plainNumber(a.cost)}, {QStringLiteral("售价"), plainNumber(a.price)},
            {QStringLiteral("库存"), plainNumber(a.stock)}};
}

Fields fieldsOf(const Machine &m)
{
    return {{QStringLiteral("机号"), QString::number(m.number)}, {QStringLiteral("名称"), m.name},
            {QStringLiteral("IP"), m.ip}, {QStringLiteral("费率"), plainNumber(m.rate)}};
}

Fields fieldsOf(const Customer &c)
{
    return {{QStringLiteral("编号"), c.number},   {QStringLiteral("姓名"), c.name},
            {QStringLiteral("证件"), c.idKind},   {QStringLiteral("证件号码"), c.idNumber},
            {QStringLiteral("电话"), c.phone},    {QStringLiteral("呼机"), c.pager},
            {QStringLiteral("手机"), c.mobile},   {QStringLiteral("E-Mail"), c.email},
            {QStringLiteral("消费额"), plainNumber(c.spent)}};
}

Fields fieldsOf(const Card &c)
{
    return {{QStringLiteral("卡号"), c.number},
            {QStringLiteral("客户编号"), c.customer},
            {QStringLiteral("总金额"), plainNumber(c.total)},
            {QStringLiteral("总机时"), plainNumber(c.totalHours)},
            {QStringLiteral("金额"), plainNumber(c.balance)}};
}

Fields fieldsOf(const Operator &o)
{
    return {{QStringLiteral("用户名称"), o.name}, {QStringLiteral("权限"), o.right}};
}

Fields fieldsOf(const Settings &s)
{
    return {{QStringLiteral("通宵金额"), plainNumber(s.overnightPrice)},
            {QStringLiteral("最低消费额"), s.minimumCharge ? plainNumber(*s.minimumCharge) : QString()},
            {QStringLiteral("取整金额"), plainNumber(s.roundingUnit)},
            {QStringLiteral("通宵开始时间"), s.overnightStart.toString(QStringLiteral("HH:mm"))},
            {QStringLiteral("通宵结束时间"), s.overnightEnd.toString(QStringLiteral("HH:mm"))},
            {QStringLiteral("每月开始时间"), plainNumber(s.monthStart)},
            {QStringLiteral("每月结束时间"), plainNumber(s.monthEnd)}};
}

QString values(const Fields &fields)
{
    QStringList parts;
    for (const auto &[label, value] : fields)
        parts << label + u' ' + value;
    return parts.join(u' ');
}

QString changes(const Fields &before, const Fields &after)
{
    QStringList parts;
    for (qsizetype i = 0; i < after.size(); ++i)
        if (before.at(i).second != after.at(i).second)
            parts << QStringLiteral("%1 %2→%3").arg(after.at(i).first, before.at(i).second, after.at(i).second);
    return parts.join(u' ');
}

// The row's name in front of its changes: its first field (number) and, when there is one, the
// second (its name).
QString nameOf(const Fields &fields)
{
    return fields.size() > 1 && !fields.at(1).second.isEmpty()
               ? fields.at(0).second + u' ' + fields.at(1).second
               : fields.at(0).second;
}

template <typename Row>
QString rows(const std::optional<Row> &before, const std::optional<Row> &after, bool newPassword = false)
{
    if (!before && !after)
        return {};
    QString text = before && after ? nameOf(fieldsOf(*before)) + QStringLiteral("：") +
                                         changes(fieldsOf(*before), fieldsOf(*after))
                                   : values(fieldsOf(before ? *before : *after));
    if (newPassword)
        text += QStringLiteral(" 密码已改");
    return text;
}

} // namespace

QString describe(const std::optional<Article> &before, const std::optional<Article> &after)
{
    return rows(before, after);
}

QString describe(const std::optional<Machine> &before, const std::optional<Machine> &after)
{
    return rows(before, after);
}

QString describe(const std::optional<Customer> &before, const std::optional<Customer> &after)
{
    return rows(before, after);
}

QString describe(const std::optional<Card> &before, const std::optional<Card> &after, bool newPassword)
{
    return rows(before, after, newPassword && before && after);
}

QString describe(const std::optional<Operator> &before, const std::optional<Operator> &after, bool newPassword)
{
    return rows(before, after, newPassword && before && after);
}

QString describe(const std::optional<Settings> &before, const Settings &after)
{
    return before ? changes(fieldsOf(*before), fieldsOf(after)) : values(fieldsOf(after));
}

} // namespace audit
