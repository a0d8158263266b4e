#include "reportfoot.h"

#include <QRegularExpression>

namespace {
const QString kMoment = QStringLiteral("yyyy-MM-dd HH:mm:ss");
} // namespace

std::optional<ClockChange> clockChangeFrom(const QString &details)
{
    static const QRegularExpression shape(QStringLiteral(
        "^从(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) 到(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)$"));
    const QRegularExpressionMatch m = shape.match(details);
    if (!m.hasMatch())
        return std::nullopt;
    ClockChange change{QDateTime::fromString(m.captured(1), kMoment),
                       QDateTime::fromString(m.captured(2), kMoment)};
    if (!change.before.isValid() || !change.after.isValid())
        return std::nullopt;
    return change;
}

QStringList clockChangeFoot(const QList<ClockChange> &changes, const ReportPeriod &period)
{
    auto inPeriod = [&](const QDateTime &t) { return t >= period.from && t <= period.to; };
    QStringList lines;
    for (const ClockChange &c : changes)
        if (inPeriod(c.before) || inPeriod(c.after))
            lines << QStringLiteral("系统时间被改动：从%1 到%2")
                         .arg(c.before.toString(kMoment), c.after.toString(kMoment));
    return lines;
}

StyledText withFoot(StyledText text, const QStringList &foot)
{
    if (!foot.isEmpty())
        text.append({QLatin1Char('\n') + foot.join(QLatin1Char('\n')), 9, true});
    return text;
}
