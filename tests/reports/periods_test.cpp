#include "reports/reportrequest.h"

#include <QTest>

class PeriodsTest : public QObject
{
    Q_OBJECT

private slots:
    void monthly_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        // The start of the previous month crosses the year back, the end of the next forward.
        QTest::newRow("26th of December to 25th")
            << QDate(2002, 1, 15) << -26.0 << 25.0 << QDate(2001, 12, 26) << QDate(2002, 1, 25);
        QTest::newRow("1st to 1st of next month")
            << QDate(2001, 12, 10) << 1.0 << -1.0 << QDate(2001, 12, 1) << QDate(2002, 1, 1);
        QTest::newRow("31 in April is the 30th")
            << QDate(2002, 4, 10) << 1.0 << 31.0 << QDate(2002, 4, 1) << QDate(2002, 4, 30);
        // A start day the month lacks starts the period on the 1st after it.
        QTest::newRow("30 of a leap February")
            << QDate(2004, 3, 10) << -30.0 << 31.0 << QDate(2004, 3, 1) << QDate(2004, 3, 31);
        QTest::newRow("-30 in March, 2025")
            << QDate(2025, 3, 15) << -30.0 << 29.0 << QDate(2025, 3, 1) << QDate(2025, 3, 29);
        QTest::newRow("-30 in February, 2025")
            << QDate(2025, 2, 15) << -30.0 << 29.0 << QDate(2025, 1, 30) << QDate(2025, 2, 28);
        QTest::newRow("29 of February, 2025")
            << QDate(2025, 2, 15) << 29.0 << -28.0 << QDate(2025, 3, 1) << QDate(2025, 3, 28);
        QTest::newRow("31 of April") << QDate(2025, 4, 2) << 31.0 << -30.0 << QDate(2025, 5, 1)
                                     << QDate(2025, 5, 30);
        QTest::newRow("31 of next month, February")
            << QDate(2003, 1, 31) << 1.0 << -31.0 << QDate(2003, 1, 1) << QDate(2003, 2, 28);
        QTest::newRow("day 0 is the first")
            << QDate(2002, 5, 20) << 0.0 << 0.0 << QDate(2002, 5, 1) << QDate(2002, 5, 1);
    }
    void monthly()
    {
        QFETCH(QDate, today);
        QFETCH(double, start);
        QFETCH(double, end);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        const ReportPeriod p = monthlyPeriod(today, start, end);
        QCOMPARE(p.from, QDateTime(from, QTime(0, 0)));
        QCOMPARE(p.to, QDateTime(to, QTime(23, 59, 59)));
    }

    // Settings whose end day is the day before the start day cut the calendar into periods
    // that meet: each day belongs to exactly one of them, whatever the months' lengths.
    void monthlyPeriodsMeetWithoutOverlap_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        QTest::newRow("1 to 31") << 1.0 << 31.0;
        for (int day : {2, 15, 26, 29, 30, 31}) {
            QTest::addRow("-%d to %d", day, day - 1) << -double(day) << double(day - 1);
            QTest::addRow("%d to -%d", day, day - 1) << double(day) << -double(day - 1);
        }
    }
    void monthlyPeriodsMeetWithoutOverlap()
    {
        QFETCH(double, start);
        QFETCH(double, end);
        // Two years with a leap February, run on the 15th of every month.
        ReportPeriod last = monthlyPeriod(QDate(2023, 1, 15), start, end);
        for (QDate month(2023, 2, 15); month.year() < 2025; month = month.addMonths(1)) {
            const ReportPeriod p = monthlyPeriod(month, start, end);
            QVERIFY2(p.from.date() == last.to.date().addDays(1),
                     qPrintable(QStringLiteral("%1: %2 after %3")
                                    .arg(month.toString(Qt::ISODate), p.from.toString(Qt::ISODate),
                                         last.to.toString(Qt::ISODate))));
            QVERIFY(p.from < p.to);
            last = p;
        }
    }

    void dailyCoversTheWholeDay()
    {
        const ReportPeriod p = dailyPeriod(QDate(2024, 2, 29));
        QCOMPARE(p.from, QDateTime(QDate(2024, 2, 29), QTime(0, 0, 0)));
        QCOMPARE(p.to, QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59)));
    }

    void aPeriodEndingBeforeItStartsIsRefused()
    {
        ReportRequest r;
        r.from = QDateTime(QDate(2024, 5, 2), QTime(0, 0));
        r.to = QDateTime(QDate(2024, 5, 1), QTime(23, 59, 59));
        QVERIFY(!r.check());
        QVERIFY(!r.check().error().isEmpty());
        r.to = r.from;
        QVERIFY(r.check());
    }

    void typeTextsRoundTrip()
    {
        for (ReportKind k : {ReportKind::MachineTime, ReportKind::GoodsSales, ReportKind::Income})
            QCOMPARE(reportKindFromText(reportTypeText(k)), k);
        QCOMPARE(reportTypeText(ReportKind::GoodsSales), QStringLiteral("商品销售统计表"));
        QVERIFY(!reportKindFromText(QStringLiteral("日报表")));
    }

    void longDateHasNoLeadingZeros()
    {
        QCOMPARE(reportDate(QDate(2024, 5, 1)), QStringLiteral("2024年5月1日"));
    }
};

QTEST_GUILESS_MAIN(PeriodsTest)
#include "periods_test.moc"
