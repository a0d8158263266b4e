#include "reporttext.h"

#include "common/cp936.h"

#include <QDate>
#include <cmath>

QString plainText(const StyledText &text)
{
    QString result;
    for (const TextRun &run : text)
        result += run.text;
    return result;
}

qint64 toCents(double yuan)
{
    return std::llround(yuan * 100);
}

namespace {
QString withDecimals(qint64 units, int decimals)
{
    const bool negative = units < 0;
    const qint64 magnitude = negative ? -units : units;
    qint64 scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    QString text = QString::number(magnitude / scale) + u'.' +
                   QString::number(magnitude % scale).rightJustified(decimals, u'0');
    return (negative && magnitude != 0 ? QStringLiteral("-") : QString()) + text + QStringLiteral("元");
}
} // namespace

QString centsTwoDecimals(qint64 cents)
{
    return withDecimals(cents, 2);
}

QString centsOneDecimal(qint64 cents)
{
    const qint64 tenths = cents >= 0 ? (cents + 5) / 10 : -((-cents + 5) / 10);
    return withDecimals(tenths, 1);
}

QString padColumns(const QString &text, int columns)
{
    const int used = cp936::byteLength(text);
    return used >= columns ? text : text + QString(columns - used, u' ');
}

QString alignRight(const QString &text, int width)
{
    return text.size() >= width ? text : QString(width - text.size(), u' ') + text;
}

QString alignLeft(const QString &text, int width)
{
    return text.size() >= width ? text : text + QString(width - text.size(), u' ');
}

std::optional<qint64> storedMinute(QStringView s)
{
    // yyyy-MM-dd HH:mm
    if (s.size() < 16 || s[4] != u'-' || s[7] != u'-' || s[10] != u' ' || s[13] != u':')
        return std::nullopt;
    auto number = [&](int at, int length) {
        int value = 0;
        for (int i = at; i < at + length; ++i) {
            const char16_t c = s[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2);
    const QDate date(year, month, day);
    if (!date.isValid() || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    return date.toJulianDay() * 1440 + hour * 60 + minute;
}

QString thinRule()
{
    return QStringLiteral("  ") + QString(57, u'─');
}

QString thickRule()
{
    return QStringLiteral("  ") + QString(57, u'━');
}
