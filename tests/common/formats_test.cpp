#include "common/formats.h"
#include "common/timeutil.h"

#include <QTest>

using Formatter = QString (*)(double);
Q_DECLARE_METATYPE(Formatter)

class FormatsTest : public QObject
{
    Q_OBJECT

private slots:
    void money_data();
    void money();
    void dateTimes_data();
    void dateTimes();
    void clock();
    void weekdayNames();
    void hoursMinutes_data();
    void hoursMinutes();
    void minutesBetween_data();
    void minutesBetween();
    void storedForms();
};

void FormatsTest::money_data()
{
    QTest::addColumn<Formatter>("format");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    const Formatter list = formatListMoney;
    QTest::newRow("list: thousands") << list << 1234.5 << QStringLiteral("1,234.50元");
    QTest::newRow("list: millions, cut to cents") << list << 1234567.891 << QStringLiteral("1,234,567.89元");
    QTest::newRow("list: zero") << list << 0.0 << QStringLiteral("0.00元");
    QTest::newRow("list: below a thousand") << list << 999.0 << QStringLiteral("999.00元");
    QTest::newRow("list: rounding carries into a group") << list << 999.999 << QStringLiteral("1,000.00元");
    QTest::newRow("list: negative") << list << -1234.5 << QStringLiteral("-1,234.50元");
    QTest::newRow("list: negative below a thousand") << list << -12.0 << QStringLiteral("-12.00元");
    QTest::newRow("list: tiny negative is zero") << list << -0.001 << QStringLiteral("0.00元");

    const Formatter plain = formatMoney;
    QTest::newRow("plain: no separators") << plain << 1234.5 << QStringLiteral("1234.50元");
    QTest::newRow("plain: zero") << plain << 0.0 << QStringLiteral("0.00元");
    QTest::newRow("plain: negative") << plain << -3.0 << QStringLiteral("-3.00元");

    const Formatter bill = formatBillMoney;
    QTest::newRow("bill") << bill << 12.5 << QStringLiteral("￥12.50元");
    QTest::newRow("bill: large") << bill << 1234.5 << QStringLiteral("￥1234.50元");

    const Formatter oneDecimal = formatMoneyOneDecimal;
    QTest::newRow("one decimal") << oneDecimal << 12.5 << QStringLiteral("12.5元");
    QTest::newRow("one decimal, whole") << oneDecimal << 3.0 << QStringLiteral("3.0元");

    const Formatter hours = formatHours;
    QTest::newRow("hours") << hours << 3.0 << QStringLiteral("3.00小时");
    QTest::newRow("hours, fraction") << hours << 1.25 << QStringLiteral("1.25小时");
}

void FormatsTest::money()
{
    QFETCH(Formatter, format);
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(format(value), text);
}

void FormatsTest::dateTimes_data()
{
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("shortText");
    QTest::addColumn<QString>("longText");

    QTest::newRow("no leading zeros in month and day")
        << QDateTime(QDate(2002, 3, 7), QTime(9, 5)) << QStringLiteral("3月7日 09:05")
        << QStringLiteral("2002年03月07日09:05");
    QTest::newRow("two-digit month and day, afternoon")
        << QDateTime(QDate(2002, 12, 25), QTime(23, 59, 59)) << QStringLiteral("12月25日 23:59")
        << QStringLiteral("2002年12月25日23:59");
    QTest::newRow("midnight") << QDateTime(QDate(2003, 1, 1), QTime(0, 0)) << QStringLiteral("1月1日 00:00")
                              << QStringLiteral("2003年01月01日00:00");
    QTest::newRow("empty moment") << QDateTime() << QString() << QString();
}

void FormatsTest::dateTimes()
{
    QFETCH(QDateTime, moment);
    QFETCH(QString, shortText);
    QFETCH(QString, longText);
    QCOMPARE(formatShortDateTime(moment), shortText);
    QCOMPARE(formatLongDateTime(moment), longText);
}

void FormatsTest::clock()
{
    QCOMPARE(formatClock(QDateTime(QDate(2002, 3, 14), QTime(14, 5, 9))),
             QStringLiteral("2002年03月14日14:05:09  星期四"));
    QCOMPARE(formatClock(QDateTime(QDate(2002, 3, 17), QTime(0, 0, 0))),
             QStringLiteral("2002年03月17日00:00:00  星期日"));
}

void FormatsTest::weekdayNames()
{
    // 2002-03-10 was a Sunday.
    const QStringList names = {QStringLiteral("星期日"), QStringLiteral("星期一"), QStringLiteral("星期二"),
                               QStringLiteral("星期三"), QStringLiteral("星期四"), QStringLiteral("星期五"),
                               QStringLiteral("星期六")};
    for (int i = 0; i < 7; ++i)
        QCOMPARE(weekdayName(QDate(2002, 3, 10).addDays(i)), names.at(i));
}

void FormatsTest::hoursMinutes_data()
{
    QTest::addColumn<qint64>("minutes");
    QTest::addColumn<QString>("text");

    QTest::newRow("125") << qint64(125) << QStringLiteral("2:5");
    QTest::newRow("0") << qint64(0) << QStringLiteral("0:0");
    QTest::newRow("59") << qint64(59) << QStringLiteral("0:59");
    QTest::newRow("60") << qint64(60) << QStringLiteral("1:0");
    QTest::newRow("a day and more") << qint64(1501) << QStringLiteral("25:1");
    QTest::newRow("future start") << qint64(-5) << QStringLiteral("0:0");
}

void FormatsTest::hoursMinutes()
{
    QFETCH(qint64, minutes);
    QFETCH(QString, text);
    QCOMPARE(formatHoursMinutes(minutes), text);
}

void FormatsTest::minutesBetween_data()
{
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<qint64>("minutes");

    const QDate d(2002, 3, 14);
    QTest::newRow("one boundary in one second") << QDateTime(d, QTime(10, 0, 59)) << QDateTime(d, QTime(10, 1, 0))
                                                << qint64(1);
    QTest::newRow("no boundary in 59 seconds") << QDateTime(d, QTime(10, 0, 0)) << QDateTime(d, QTime(10, 0, 59))
                                               << qint64(0);
    QTest::newRow("reversed is negative") << QDateTime(d, QTime(10, 1, 0)) << QDateTime(d, QTime(10, 0, 59))
                                          << qint64(-1);
    QTest::newRow("same moment") << QDateTime(d, QTime(10, 0, 30)) << QDateTime(d, QTime(10, 0, 30)) << qint64(0);
    QTest::newRow("95 minutes") << QDateTime(d, QTime(10, 0, 40)) << QDateTime(d, QTime(11, 35, 10)) << qint64(95);
    QTest::newRow("across midnight") << QDateTime(d, QTime(23, 59, 59)) << QDateTime(d.addDays(1), QTime(0, 0, 0))
                                     << qint64(1);
    QTest::newRow("before 1970") << QDateTime(QDate(1969, 12, 31), QTime(23, 58, 30))
                                 << QDateTime(QDate(1969, 12, 31), QTime(23, 59, 10)) << qint64(1);
}

void FormatsTest::minutesBetween()
{
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    QFETCH(qint64, minutes);
    QCOMPARE(::minutesBetween(from, to), minutes);
}

void FormatsTest::storedForms()
{
    const QDateTime t(QDate(2002, 3, 7), QTime(9, 5, 3));
    QCOMPARE(storedDateTime(t), QStringLiteral("2002-03-07 09:05:03"));
    QCOMPARE(parseStoredDateTime(storedDateTime(t)), t);
    QCOMPARE(storedDateTime(QDateTime()), QString());
    QVERIFY(!parseStoredDateTime(QString()).isValid());
    QCOMPARE(parseStoredDateTime(QStringLiteral("2002-03-07T09:05:03")), t);
    for (const QString &bad : {QStringLiteral("2002-02-30 10:00:00"), QStringLiteral("2002-03-07 25:00:00"),
                               QStringLiteral("2002-0x-07 09:05:03"), QStringLiteral("abcd-03-07 09:05:03"),
                               QStringLiteral("2002-03-07 09:05:6x"), QStringLiteral("0000-03-07 09:05:03")})
        QVERIFY2(!parseStoredDateTime(bad).isValid(), qPrintable(bad));
    QCOMPARE(storedTime(QTime(22, 0)), QStringLiteral("22:00:00"));
    QCOMPARE(storedTime(QTime(8, 0)), QStringLiteral("08:00:00"));
    QCOMPARE(parseStoredTime(QStringLiteral("08:00:00")), QTime(8, 0));
    QCOMPARE(parseStoredTime(QStringLiteral("8:00:00")), QTime(8, 0));
}

QTEST_GUILESS_MAIN(FormatsTest)
#include "formats_test.moc"
