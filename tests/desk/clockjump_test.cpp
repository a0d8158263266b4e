#include "audit/trail.h"
#include "common/clock.h"
#include "support/testdesk.h"

#include <QSignalSpy>
#include <QTest>

namespace {
const QDateTime kNow(QDate(2002, 3, 15), QTime(21, 0));
}

// The desk's tick sees the system time being set and keeps it in the trail.
class ClockJumpTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    void setBackIsRecordedAndSaid()
    {
        TestDesk t;
        t.open();
        t.desk.setOperator(QStringLiteral("小王"), QStringLiteral("A"));
        QSignalSpy notices(&t.desk, &FrontDesk::statusNotice);
        t.desk.tickClock();
        Clock::advanceSeconds(1);
        t.desk.tickClock();
        Clock::advanceSeconds(1);
        Clock::setWallBy(-3600);
        t.desk.tickClock();
        Clock::advanceSeconds(1);
        t.desk.tickClock();

        const QList<audit::Entry> moved =
            audit::entries(t.db(), {}, {}, {}, 0, QStringLiteral("系统时间被改动"));
        QCOMPARE(moved.size(), 1);
        const QString text = QStringLiteral("从2002-03-15 21:00:02 到2002-03-15 20:00:02");
        QCOMPARE(moved.at(0).details, text);
        QCOMPARE(moved.at(0).operatorName, QStringLiteral("小王"));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("系统时间被改动：") + text);
    }
};

QTEST_GUILESS_MAIN(ClockJumpTest)
#include "clockjump_test.moc"
