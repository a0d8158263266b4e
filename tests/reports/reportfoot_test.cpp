#include "reports/reportfoot.h"

#include <QTest>

namespace {
QDateTime at(int day, int h, int m)
{
    return QDateTime(QDate(2026, 12, day), QTime(h, m));
}
// The daily report of 7 December.
const ReportPeriod kDay{at(7, 0, 0), QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59))};
} // namespace

class ReportFootTest final : public QObject
{
    Q_OBJECT

private slots:
    void clockChangesOfThePeriodAreOnItsFoot_data()
    {
        QTest::addColumn<QString>("details");
        QTest::addColumn<QStringList>("foot");
        const QString back = u"从2026-12-07 14:05:00 到2026-12-07 13:05:00"_qs;
        QTest::newRow("set back within the day") << back << QStringList{u"系统时间被改动："_qs + back};
        const QString overMidnight = u"从2026-12-08 00:30:00 到2026-12-07 23:30:00"_qs;
        QTest::newRow("set back over midnight into the day")
            << overMidnight << QStringList{u"系统时间被改动："_qs + overMidnight};
        const QString outOf = u"从2026-12-06 23:50:00 到2026-12-07 00:10:00"_qs;
        QTest::newRow("forward out of the day before")
            << outOf << QStringList{u"系统时间被改动："_qs + outOf};
        QTest::newRow("another day") << u"从2026-12-08 09:00:00 到2026-12-08 10:00:00"_qs << QStringList();
        QTest::newRow("not a clock change") << u"从昨天 到今天"_qs << QStringList();
    }
    void clockChangesOfThePeriodAreOnItsFoot()
    {
        QFETCH(QString, details);
        QFETCH(QStringList, foot);
        QList<ClockChange> changes;
        if (const std::optional<ClockChange> c = clockChangeFrom(details))
            changes << *c;
        QCOMPARE(clockChangeFoot(changes, kDay), foot);
    }

    void footGoesUnderTheTextReport()
    {
        const StyledText text{{u"总收入 ： 1.5元\n"_qs, 14, true}, {u"2026年12月7日"_qs, 10}};
        QCOMPARE(withFoot(text, {}), text);
        const QString footed =
            plainText(withFoot(text, {u"系统时间被改动：甲"_qs, u"系统时间被改动：乙"_qs}));
        QCOMPARE(footed, u"总收入 ： 1.5元\n2026年12月7日\n系统时间被改动：甲\n系统时间被改动：乙"_qs);
    }
};

QTEST_MAIN(ReportFootTest)
#include "reportfoot_test.moc"
