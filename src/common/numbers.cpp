#include "numbers.h"

#include <QSet>
#include <QStringList>
#include <cmath>
#include <limits>

double numberValue(const QString &text)
{
    // Longest leading part that reads as a decimal number: optional blanks, a sign,
    // digits with at most one point. Exponents are not numbers here.
    int i = 0;
    const int n = int(text.size());
    while (i < n && text.at(i) == u' ')
        ++i;
    const int start = i;
    if (i < n && (text.at(i) == u'-' || text.at(i) == u'+'))
        ++i;
    bool digits = false;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c >= u'0' && c <= u'9')
            digits = true;
        else if (c == u'.' && !point)
            point = true;
        else
            break;
    }
    if (!digits)
        return 0;
    bool ok = false;
    const double v = text.mid(start, i - start).toDouble(&ok);
    return ok ? v : 0;
}

double roundEven(double x, int decimals)
{
    if (!std::isfinite(x))
        return x;
    const double scale = std::pow(10.0, decimals);
    double scaled = x * scale;
    // Amounts like 4.75 * 2 are exact, but 0.1-step values carry binary noise (0.135 * 100 is
    // 13.500000000000002): treat a value within a few ulps of a half as that half. The margin
    // is relative to the magnitude, so a real fraction like 100001.4999 is never taken for a half.
    const double nearestHalf = std::round(scaled * 2.0) / 2.0;
    const double margin = 64 * std::numeric_limits<double>::epsilon() * std::max(1.0, std::fabs(scaled));
    if (std::fabs(scaled - nearestHalf) <= margin)
        scaled = nearestHalf;
    return std::nearbyint(scaled) / scale; // default rounding mode: to nearest, ties to even
}

double roundToHalf(double x)
{
    return roundEven(x * 2) / 2;
}

double roundByUnit(double x, double unit)
{
    return unit == 0.5 ? roundToHalf(x) : roundEven(x);
}

QString plainNumber(double x)
{
    if (x == 0)
        return QStringLiteral("0");
    QString s = QString::number(x, 'f', 10);
    if (s.contains(u'.')) {
        while (s.endsWith(u'0'))
            s.chop(1);
        if (s.endsWith(u'.'))
            s.chop(1);
    }
    return s == QStringLiteral("-0") ? QStringLiteral("0") : s;
}

QString nextFreeNumber(const QStringList &used)
{
    QSet<qint64> taken;
    for (const QString &u : used) {
        const double v = numberValue(u);
        if (v >= 1 && v == std::floor(v) && v < 9e15)
            taken.insert(qint64(v));
    }
    qint64 n = 1;
    while (taken.contains(n))
        ++n;
    return QString::number(n).rightJustified(8, u'0');
}
