#include "machinetimereport.h"

#include "reporttext.h"

#include "common/formats.h"

#include <QSet>
#include <cmath>

MachineTimeReport::MachineTimeReport(const ReportPeriod &period) : m_period(period) {}

void MachineTimeReport::add(const JournalRecord &row)
{
    m_rows.append(row);
    m_due += toCents(row.due);
    m_received += toCents(row.received);
}

void MachineTimeReport::finish()
{
    const auto from = storedMinute(storedDateTime(m_period.from));
    const auto to = storedMinute(storedDateTime(m_period.to));
    m_chart = {};
    if (!from || !to || *to < *from)
        return;
    // A period within one day is shown by the hour, a longer one by the day.
    m_chart.hourly = m_period.from.date() == m_period.to.date();
    const qint64 size = m_chart.hourly ? 60 : 1440;
    const qint64 first = *from - (m_chart.hourly ? *from % 60 : *from % 1440);
    const qint64 buckets = (*to - first) / size + 1;
    m_chart.firstBucket = m_chart.hourly
        ? QDateTime(m_period.from.date(), QTime(m_period.from.time().hour(), 0))
        : QDateTime(m_period.from.date(), QTime(0, 0));
    m_chart.cents.fill(0, buckets);
    QList<QSet<int>> busy(buckets);
    for (const JournalRecord &row : std::as_const(m_rows)) {
        const auto end = storedMinute(row.end);
        if (!end)
            continue;
        const qint64 endBucket = std::clamp<qint64>((*end - first) / size, 0, buckets - 1);
        m_chart.cents[endBucket] += toCents(row.received);
        const auto start = storedMinute(row.start);
        const qint64 startBucket =
            start ? std::clamp<qint64>((std::max(*start, first) - first) / size, 0, endBucket) : endBucket;
        for (qint64 b = startBucket; b <= endBucket; ++b)
            busy[b].insert(row.machine);
    }
    m_chart.machines.reserve(buckets);
    for (const QSet<int> &machines : std::as_const(busy))
        m_chart.machines.append(int(machines.size()));
}

QStringList chartLabels(const ReportChart &chart)
{
    // Buckets are wall-clock hours and days, so are their names.
    auto make = [&chart](const QString &dayFormat) {
        QStringList labels;
        for (qsizetype i = 0; i < chart.cents.size(); ++i)
            labels.append(chart.hourly ? QString::number(chart.firstBucket.time().hour() + i)
                                       : chart.firstBucket.date().addDays(i).toString(dayFormat));
        return labels;
    };
    QStringList labels;
    for (const QString &format : {QStringLiteral("d"), QStringLiteral("M/d"), QStringLiteral("yyyy/M/d")}) {
        labels = make(format);
        if (chart.hourly || QSet<QString>(labels.cbegin(), labels.cend()).size() == labels.size())
            break;
    }
    return labels;
}

QStringList MachineTimeReport::headers()
{
    return {QStringLiteral("ID"),     QStringLiteral("机号"),   QStringLiteral("开始时间"),
            QStringLiteral("结束时间"), QStringLiteral("上机方式"), QStringLiteral("应收款"),
            QStringLiteral("实收款"),  QStringLiteral("优惠"),   QStringLiteral("结帐人"),
            QStringLiteral("客户姓名"), QStringLiteral("客户证件"), QStringLiteral("证件号码")};
}

namespace {
// "yy/mm/dd hh:nn" straight from the stored text.
QString shortStamp(const QString &stored)
{
    if (!storedMinute(stored))
        return {};
    return stored.mid(2, 2) + u'/' + stored.mid(5, 2) + u'/' + stored.mid(8, 2) + u' ' + stored.mid(11, 5);
}
} // namespace

QString MachineTimeReport::columnText(const JournalRecord &row, int column)
{
    switch (column) {
    case 0: return QString::number(row.id);
    case 1: return QString::number(row.machine) + QStringLiteral("号机");
    case 2: return shortStamp(row.start);
    case 3: return shortStamp(row.end);
    case 4: return row.mode == u"P" ? QStringLiteral("通宵 ") : QStringLiteral("正常 ");
    case 5: return centsTwoDecimals(toCents(row.due));
    case 6: return centsTwoDecimals(toCents(row.received));
    case 7: return QString::number(std::llround(row.discount)) + u'%';
    case 8: return row.cashier;
    case 9: return row.customer;
    case 10: return row.idKind;
    case 11: return row.idNumber;
    default: return {};
    }
}

QStringList MachineTimeReport::rowTexts(const JournalRecord &row)
{
    QStringList texts;
    for (int c = 0; c < kColumns; ++c)
        texts.append(columnText(row, c));
    return texts;
}

int MachineTimeReport::columnTwips(int column)
{
    static const int twips[] = {600, 800, 1600, 1600, 1000, 1000, 1000, 800};
    return column >= 0 && column < 8 ? twips[column] : 1200;
}

QString MachineTimeReport::summary(const QDate &today) const
{
    return QStringLiteral("   总应收金额：") + centsOneDecimal(m_due) + QStringLiteral(" 总实收金额：") +
           centsOneDecimal(m_received) + QStringLiteral("    ") + reportDate(today);
}
