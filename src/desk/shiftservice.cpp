#include "shiftservice.h"

#include "audit/trail.h"
#include "common/clock.h"
#include "common/commandpath.h"
#include "common/formats.h"
#include "common/numbers.h"
#include "store/database.h"

#include <QRegularExpression>

namespace {

// A sum of money as typed: digits with at most two decimals.
std::optional<double> amountOf(const QString &text)
{
    static const QRegularExpression money(QStringLiteral("^\\d{1,9}(\\.\\d{1,2})?$"));
    const QString t = text.trimmed();
    if (!money.match(t).hasMatch())
        return std::nullopt;
    return t.toDouble();
}

QString yuan(double amount)
{
    return plainNumber(roundEven(amount, 2)) + QStringLiteral("元");
}

} // namespace

ShiftService::ShiftService(Database &db, CommandPath &commands, const QString &counter, const QString &operatorName)
    : m_db(db), m_commands(commands), m_counter(counter), m_operator(operatorName)
{
}

Result<Shift> ShiftService::open()
{
    return m_commands.run({}, [&](Effects &effects) -> Result<Shift> {
        ShiftTable shifts(m_db);
        if (std::optional<Shift> shift = shifts.open(m_counter))
            return *shift;
        const std::optional<Shift> shift = shifts.begin(m_counter, m_operator, Clock::now());
        if (!shift)
            return failure(QStringLiteral("上班没有记录成功：") + m_db.lastError());
        effects.record(QStringLiteral("上班"), 0, QStringLiteral("备用金") + yuan(shift->openingFloat));
        return *shift;
    });
}

std::optional<Shift> ShiftService::current()
{
    return ShiftTable(m_db).open(m_counter);
}

Result<Shift> ShiftService::handOver(const QString &countedText, const QString &leftText)
{
    const std::optional<double> counted = amountOf(countedText);
    const std::optional<double> left = amountOf(leftText);
    if (!counted || !left)
        return failure(QStringLiteral("实点现金和备用金必须是不小于0的金额！"));
    if (*left > *counted)
        return failure(QStringLiteral("留给下一班的备用金不能多于实点现金！"));
    return m_commands.run(
        {QStringLiteral("交班"), 0, {}, QStringLiteral("交班失败")},
        [&]() -> Result<Shift> {
            ShiftTable shifts(m_db);
            std::optional<Shift> shift = shifts.open(m_counter);
            if (!shift)
                return failure(QStringLiteral("当前没有上班记录，不能交班！"));
            shift->end = Clock::now();
            shift->counted = *counted;
            shift->left = *left;
            if (!shifts.close(shift->rowid, shift->end, shift->counted, shift->left))
                return failure(QStringLiteral("交班没有记录成功：") + m_db.lastError());
            return *shift;
        },
        [](const Shift &s) {
            return QStringLiteral("应有现金%1 实点现金%2 差额%3 留存备用金%4")
                .arg(yuan(s.expected()), yuan(s.counted), yuan(s.difference()), yuan(s.left));
        });
}

QList<Shift> ShiftService::past()
{
    return ShiftTable(m_db).closed();
}

QString ShiftService::anchor()
{
    return audit::anchor(m_db);
}

QString shiftReport(const Shift &s)
{
    const QString eol = QStringLiteral("\r\n");
    QString text = QStringLiteral("交班报表") + eol;
    if (!s.counter.isEmpty())
        text += QStringLiteral("柜台：") + s.counter + eol;
    text += QStringLiteral("操作员：") + s.operatorName + eol;
    text += QStringLiteral("上班时间：") + formatLongDateTime(s.start) + eol;
    text += QStringLiteral("交班时间：") + formatLongDateTime(s.end) + eol;
    text += QStringLiteral("现金结帐：") + yuan(s.takings.sessionCash) + eol;
    text += QStringLiteral("储金卡结帐：") + yuan(s.takings.cardPaid) + eol;
    text += QStringLiteral("售卡及充值：") + yuan(s.takings.cardSales) + eol;
    text += QStringLiteral("柜台零售：") + yuan(s.takings.counterSales) + eol;
    text += QStringLiteral("上班备用金：") + yuan(s.openingFloat) + eol;
    text += QStringLiteral("应有现金：") + yuan(s.expected()) + eol;
    if (s.end.isValid()) {
        text += QStringLiteral("实点现金：") + yuan(s.counted) + eol;
        text += QStringLiteral("差额：") + yuan(s.difference()) + eol;
        text += QStringLiteral("留给下一班的备用金：") + yuan(s.left) + eol;
    }
    return text;
}
