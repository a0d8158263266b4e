#include "bill.h"

#include "common/formats.h"
#include "common/numbers.h"

#include <algorithm>

namespace {

const QString kEol = QStringLiteral("\r\n");

} // namespace

namespace billtext {

QString lightRule()
{
    return QString(19, QChar(0x2500));
}

QString heavyRule()
{
    return QString(19, QChar(0x2501));
}

QString machineLines(const Machine &machine, const Tariff &tariff, const QList<PricedLine> &goods,
                     const QDateTime &now)
{
    const qint64 minutes = sessionMinutes(machine, now);
    const double fee = timeCharge(machine, tariff, now);

    QString goodsLines;
    double goodsTotal = 0;
    for (const PricedLine &p : goods) {
        if (!p.inCatalogue)
            continue;
        const double amount = p.line.quantity * p.price;
        goodsTotal += amount;
        goodsLines += QStringLiteral("    ") + p.name + QStringLiteral("：") + formatMoney(p.price) +
                      QStringLiteral("*") + plainNumber(p.line.quantity) + QStringLiteral("=") +
                      formatMoney(amount) + kEol;
    }

    QString text;
    text += machine.name + QStringLiteral("上机详细状况") + kEol;
    text += QStringLiteral("上机人姓名：") + machine.customer + kEol;
    text += QStringLiteral("上机人证件(") + machine.idKind + QStringLiteral(")：") + machine.idNumber + kEol;
    text += QStringLiteral("开始时间：") + formatLongDateTime(machine.start) + kEol;
    text += QStringLiteral("结束时间：") + formatLongDateTime(now) + kEol;
    text += QStringLiteral("所用时间：") + QString::number(minutes / 60) + QStringLiteral("小时") +
            QString::number(minutes % 60) + QStringLiteral("分钟") + kEol;
    text += QStringLiteral("上机金额：") + formatBillMoney(fee) + kEol;
    // The goods total stands above the goods lines it sums.
    text += QStringLiteral("其他花费：") + formatBillMoney(goodsTotal) + kEol;
    text += goodsLines;
    text += lightRule() + kEol;
    text += QStringLiteral("以上金额合计：") + formatBillMoney(fee + goodsTotal) + kEol;
    return text;
}

QString receivedLines(const Payment &payment)
{
    QString text = heavyRule() + kEol + QStringLiteral("实 收 金 额 ：") +
                   formatBillMoney(std::max(payment.received, 0.0)) + kEol;
    if (payment.prepaid > 0)
        text += QStringLiteral("已 收 金 额 ：") + formatBillMoney(payment.prepaid) + kEol;
    if (payment.received < 0)
        text += QStringLiteral("应 退 还 ：") + formatBillMoney(-payment.received) + kEol;
    if (payment.change > 0)
        text += QStringLiteral("找 零 ：") + formatBillMoney(payment.change) + kEol;
    return text;
}

} // namespace billtext

void Bill::clear()
{
    m_text.clear();
    m_tail = 0;
}

void Bill::appendMachine(const QString &machineLines, const billtext::Payment &payment)
{
    if (m_tail > 0) {
        m_text.truncate(m_tail);
        m_text += billtext::heavyRule() + kEol;
    }
    m_text += machineLines;
    m_tail = m_text.size();
    m_text += billtext::receivedLines(payment);
}

void Bill::setPayment(const billtext::Payment &payment)
{
    if (m_tail == 0)
        return;
    m_text.truncate(m_tail);
    m_text += billtext::receivedLines(payment);
}
