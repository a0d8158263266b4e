#include "common/clock.h"

#include <QTest>

namespace {
const QDateTime kNow(QDate(2002, 3, 15), QTime(21, 0));
}

// A system time set by hand is told from time passing.
class ClockTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    void jumps_data()
    {
        QTest::addColumn<qint64>("passes"); // seconds of real time between two ticks
        QTest::addColumn<qint64>("set");    // seconds the wall clock is set by meanwhile
        QTest::addColumn<bool>("seen");

        QTest::newRow("a plain tick") << qint64(1) << qint64(0) << false;
        QTest::newRow("a long stall is no jump") << qint64(600) << qint64(0) << false;
        QTest::newRow("back an hour") << qint64(1) << qint64(-3600) << true;
        QTest::newRow("forward an hour") << qint64(1) << qint64(3600) << true;
        QTest::newRow("back two minutes exactly") << qint64(1) << qint64(-120) << false;
        QTest::newRow("back just over two minutes") << qint64(1) << qint64(-121) << true;
        QTest::newRow("forward just over two minutes") << qint64(0) << qint64(121) << true;
        QTest::newRow("a minute's correction") << qint64(1) << qint64(60) << false;
    }

    void jumps()
    {
        QFETCH(qint64, passes);
        QFETCH(qint64, set);
        QFETCH(bool, seen);
        ClockJumpWatch watch;
        QVERIFY(!watch.check());
        Clock::advanceSeconds(passes);
        Clock::setWallBy(set);
        const auto jump = watch.check();
        QCOMPARE(bool(jump), seen);
        if (jump) {
            QCOMPARE(jump->before, kNow.addSecs(passes));
            QCOMPARE(jump->after, kNow.addSecs(passes + set));
        }
        // Once seen, the new time is the bearing: the next tick is quiet.
        Clock::advanceSeconds(1);
        QVERIFY(!watch.check());
    }

    void describe()
    {
        const ClockJumpWatch::Jump jump{kNow, kNow.addSecs(-3600)};
        QCOMPARE(ClockJumpWatch::describe(jump),
                 QStringLiteral("从2002-03-15 21:00:00 到2002-03-15 20:00:00"));
    }
};

QTEST_GUILESS_MAIN(ClockTest)
#include "clock_test.moc"
