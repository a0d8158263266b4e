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
        QTest::newRow("26th of December to 25th") << QDate(2002, 1, 15) << -26.0 << 25.0 << QDate(2001, 12, 26)
                                                  << QDate(2002, 1, 25);
        QTest::newRow("1st to 1st of next month") << QDate(2001, 12, 10) << 1.0 << -1.0 << QDate(2001, 12, 1)
                                                  << QDate(2002, 1, 1);
        QTest::newRow("31 in April is the 30th") << QDate(2002, 4, 10) << 1.0 << 31.0 << QDate(2002, 4, 1)
                                                 << QDate(2002, 4, 30);
        QTest::newRow("30 of a leap February") << QDate(2004, 3, 10) << -30.0 << 31.0 << QDate(2004, 2, 29)
                                               << QDate(2004, 3, 31);
        QTest::newRow("31 of next month, February") << QDate(2003, 1, 31) << 1.0 << -31.0 << QDate(2003, 1, 1)
                                                    << QDate(2003, 2, 28);
        QTest::newRow("day 0 is the first") << QDate(2002, 5, 20) << 0.0 << 0.0 << QDate(2002, 5, 1)
                                            << QDate(2002, 5, 1);
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
