#include "reportrequest.h"

#include "store/settingstable.h"

#include <algorithm>
#include <cmath>

namespace {

const char16_t *const kTypeTexts[] = {u"机时收费表", u"商品销售统计表", u"收入统计表"};

// Day |value| of the month of `anyDay`; day 0 is the 1st. A start day the month lacks is the
// 1st of the next month and an end day it lacks its last day, so that periods made with an end
// day one before the start day follow each other without a day in two of them.
QDate periodDay(const QDate &anyDay, double value, bool start)
{
    const int wanted = std::max(1, int(std::min(std::fabs(value), 31.0)));
    const QDate first(anyDay.year(), anyDay.month(), 1);
    if (wanted <= first.daysInMonth())
        return first.addDays(wanted - 1);
    return start ? first.addMonths(1) : first.addDays(first.daysInMonth() - 1);
}

} // namespace

QString reportTypeText(ReportKind kind)
{
    return QString::fromUtf16(kTypeTexts[int(kind)]);
}

std::optional<ReportKind> reportKindFromText(const QString &text)
{
    for (int i = 0; i < 3; ++i)
        if (text == QString::fromUtf16(kTypeTexts[i]))
            return ReportKind(i);
    return std::nullopt;
}

ReportPeriod dailyPeriod(const QDate &today)
{
    return {QDateTime(today, QTime(0, 0)), QDateTime(today, QTime(23, 59, 59))};
}

ReportPeriod monthlyPeriod(const QDate &today, double monthStart, double monthEnd)
{
    const QDate first(today.year(), today.month(), 1);
    const QDate fromMonth = monthStart < 0 ? first.addMonths(-1) : first;
    const QDate toMonth = monthEnd < 0 ? first.addMonths(1) : first;
    return {QDateTime(periodDay(fromMonth, monthStart, true), QTime(0, 0)),
            QDateTime(periodDay(toMonth, monthEnd, false), QTime(23, 59, 59))};
}

ReportPeriod presetPeriod(Database &db, ReportPreset preset, const QDate &today)
{
    if (preset == ReportPreset::Daily)
        return dailyPeriod(today);
    // Without a settings row the month is taken whole.
    const Settings s = SettingsTable(db).read().value_or(Settings{0, {}, 0, {}, {}, 1, 31});
    return monthlyPeriod(today, s.monthStart, s.monthEnd);
}

Result<> ReportRequest::check() const
{
    if (!from.isValid() || !to.isValid())
        return failure(QStringLiteral("报表日期无效，请重新选择。"));
    if (from > to)
        return failure(QStringLiteral("开始日期晚于结束日期，请重新选择报表日期。"));
    return {};
}

QString reportDate(const QDate &date)
{
    return QStringLiteral("%1年%2月%3日").arg(date.year()).arg(date.month()).arg(date.day());
}
