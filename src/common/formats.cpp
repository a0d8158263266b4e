#include "formats.h"

#include <algorithm>

#include <QLocale>
#include <cmath>

namespace {
QString fixed(double x, int decimals)
{
    if (std::fabs(x) < 0.5 * std::pow(10.0, -decimals))
        x = 0; // no "-0.00"
    return QString::number(x, 'f', decimals);
}
} // namespace

QString formatListMoney(double yuan)
{
    QString digits = fixed(yuan, 2);
    const bool negative = digits.startsWith(u'-');
    if (negative)
        digits.remove(0, 1);
    const qsizetype point = digits.indexOf(u'.');
    for (qsizetype i = point - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return (negative ? QStringLiteral("-") : QString()) + digits + QStringLiteral("元");
}

QString formatMoney(double yuan)
{
    return fixed(yuan, 2) + QStringLiteral("元");
}

QString formatBillMoney(double yuan)
{
    return QStringLiteral("￥") + formatMoney(yuan);
}

QString formatMoneyOneDecimal(double yuan)
{
    return fixed(yuan, 1) + QStringLiteral("元");
}

QString formatHours(double hours)
{
    return fixed(hours, 2) + QStringLiteral("小时");
}

QString formatShortDateTime(const QDateTime &t)
{
    if (!t.isValid())
        return {};
    return QStringLiteral("%1月%2日 %3")
        .arg(t.date().month())
        .arg(t.date().day())
        .arg(t.time().toString(QStringLiteral("HH:mm")));
}

QString formatLongDateTime(const QDateTime &t)
{
    if (!t.isValid())
        return {};
    return t.toString(QStringLiteral("yyyy年MM月dd日HH:mm"));
}

QString formatClock(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy年MM月dd日HH:mm:ss  ")) + weekdayName(t.date());
}

QString formatHoursMinutes(qint64 minutes)
{
    // A start ahead of the clock (the system time was set back) is no time used yet, never "0:-5".
    minutes = std::max<qint64>(0, minutes);
    return QString::number(minutes / 60) + u':' + QString::number(minutes % 60);
}

QString weekdayName(const QDate &date)
{
    static const char16_t *const names[] = {u"星期日", u"星期一", u"星期二", u"星期三",
                                            u"星期四", u"星期五", u"星期六"};
    return QString::fromUtf16(names[date.dayOfWeek() % 7]);
}

QString storedDateTime(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

namespace {
// The digits of text[from, from + count), or -1 when one of them is no digit.
int readDigits(const QString &text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}
} // namespace

QDateTime parseStoredDateTime(const QString &text)
{
    // Every stored moment has exactly this shape; reading it by hand is many times faster
    // than the general parser, and the supervision pass reads every machine's moments.
    if (text.size() == 19 && text.at(4) == u'-' && text.at(7) == u'-' && text.at(10) == u' ' &&
        text.at(13) == u':' && text.at(16) == u':') {
        const int y = readDigits(text, 0, 4);
        const QDate date(y, readDigits(text, 5, 2), readDigits(text, 8, 2));
        const int h = readDigits(text, 11, 2);
        const int m = readDigits(text, 14, 2);
        const int s = readDigits(text, 17, 2);
        if (y > 0 && date.isValid() && QTime::isValid(h, m, s))
            return QDateTime(date, QTime(h, m, s));
    }
    QDateTime t = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!t.isValid())
        t = QDateTime::fromString(text, Qt::ISODate);
    return t;
}

QString storedTime(const QTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("HH:mm:ss")) : QString();
}

QTime parseStoredTime(const QString &text)
{
    QTime t = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
    if (!t.isValid())
        t = QTime::fromString(text, QStringLiteral("H:mm:ss"));
    return t;
}
