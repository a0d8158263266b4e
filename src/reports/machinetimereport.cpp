#include "machinetimereport.h"

#include "reporttext.h"

#include "common/formats.h"

#include <QSet>
#include <cmath>
#include <optional>
#include <vector>

namespace {

// The chart bucket of a stored moment. The rows come in order of 结束时间, so most share the
// day (or hour) of the row before: a bucket is worked out once per distinct day or hour
// written at the start of the text.
class BucketOf
{
public:
    BucketOf(bool hourly, qint64 first, qint64 size)
        : m_prefix(hourly ? 13 : 10), m_first(first), m_size(size)
    {
    }
    std::optional<qint64> operator()(const QString &stored)
    {
        if (m_known && stored.size() >= 16 &&
            QStringView(stored).left(m_prefix) == QStringView(m_key).left(m_prefix))
            return m_bucket;
        const auto minute = storedMinute(stored);
        m_key = stored;
        m_known = minute.has_value();
        // Before the first bucket counts as the first.
        m_bucket =
            minute ? std::optional<qint64>((std::max(*minute, m_first) - m_first) / m_size) : std::nullopt;
        return m_bucket;
    }

private:
    qsizetype m_prefix;
    qint64 m_first;
    qint64 m_size;
    bool m_known = false;
    QString m_key;
    std::optional<qint64> m_bucket;
};

} // namespace

MachineTimeReport::MachineTimeReport(const ReportPeriod &period) : m_period(period) {}

void MachineTimeReport::add(const JournalRecord &row)
{
    m_rows.append(row);
    m_due += toCents(row.due);
    m_received += toCents(row.received);
}

void MachineTimeReport::add(QList<JournalRecord> &&rows)
{
    for (const JournalRecord &row : std::as_const(rows)) {
        m_due += toCents(row.due);
        m_received += toCents(row.received);
    }
    m_rows.append(std::move(rows));
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
    m_chart.machines.fill(0, buckets);
    std::vector<std::vector<bool>> busy(static_cast<size_t>(buckets)); // by machine number
    BucketOf endBucketOf(m_chart.hourly, first, size);
    BucketOf startBucketOf(m_chart.hourly, first, size);
    for (const JournalRecord &row : std::as_const(m_rows)) {
        const auto end = endBucketOf(row.end);
        if (!end)
            continue;
        const qint64 endBucket = std::clamp<qint64>(*end, 0, buckets - 1);
        m_chart.cents[endBucket] += toCents(row.received);
        const auto start = startBucketOf(row.start);
        const qint64 startBucket = start ? std::clamp<qint64>(*start, 0, endBucket) : endBucket;
        if (row.machine < 0)
            continue;
        for (qint64 b = startBucket; b <= endBucket; ++b) {
            std::vector<bool> &machines = busy[size_t(b)];
            if (size_t(row.machine) >= machines.size())
                machines.resize(size_t(row.machine) + 1);
            if (!machines[size_t(row.machine)]) {
                machines[size_t(row.machine)] = true;
                ++m_chart.machines[b];
            }
        }
    }
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
    return {QStringLiteral("ID"),       QStringLiteral("机号"),     QStringLiteral("开始时间"),
            QStringLiteral("结束时间"), QStringLiteral("上机方式"), QStringLiteral("应收款"),
            QStringLiteral("实收款"),   QStringLiteral("优惠"),     QStringLiteral("结帐人"),
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
    case 0:
        return QString::number(row.id);
    case 1:
        return QString::number(row.machine) + QStringLiteral("号机");
    case 2:
        return shortStamp(row.start);
    case 3:
        return shortStamp(row.end);
    case 4:
        return row.mode == u"P" ? QStringLiteral("通宵 ") : QStringLiteral("正常 ");
    case 5:
        return centsTwoDecimals(toCents(row.due));
    case 6:
        return centsTwoDecimals(toCents(row.received));
    case 7:
        return QString::number(std::llround(row.discount)) + u'%';
    case 8:
        return row.cashier;
    case 9:
        return row.customer;
    case 10:
        return row.idKind;
    case 11:
        return row.idNumber;
    default:
        return {};
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

ReportSheet MachineTimeReport::sheet() const
{
    ReportSheet sheet{QStringLiteral("机时收费表"),
                      sheetPeriod(m_period.from, m_period.to),
                      headers(),
                      {},
                      {8, 6, 17, 17, 8, 10, 10, 6, 10, 10, 10, 20}};
    sheet.rows.reserve(m_rows.size());
    const SheetCell overnight = SheetCell::textCell(QStringLiteral("通宵"));
    const SheetCell normal = SheetCell::textCell(QStringLiteral("正常"));
    for (const JournalRecord &row : m_rows) {
        sheet.rows.append(
            {SheetCell::number(double(row.id)), SheetCell::number(row.machine), SheetCell::moment(row.start),
             SheetCell::moment(row.end), row.mode == u"P" ? overnight : normal,
             SheetCell::money(double(toCents(row.due)) / 100),
             SheetCell::money(double(toCents(row.received)) / 100), SheetCell::number(row.discount),
             SheetCell::textCell(row.cashier), SheetCell::textCell(row.customer),
             SheetCell::textCell(row.idKind), SheetCell::textCell(row.idNumber)});
    }
    return sheet;
}
