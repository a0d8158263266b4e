#include "accounts/guessthrottle.h"
#include "common/clock.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QDateTime kNow(QDate(2002, 3, 15), QTime(21, 0));
const QString kDialog = u"login dialog"_s;

QString op(const QString &name)
{
    return GuessThrottle::operatorSubject(name);
}
QString card(const QString &number)
{
    return GuessThrottle::cardSubject(number);
}
} // namespace

// Who a run of failed checks pauses, and who it leaves alone.
class GuessThrottleTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    void pauses_data();
    void pauses();
    void pauseRunsOnTheMonotonicClock();
    void deskWideBudgetForPcs();
    void messages();
};

void GuessThrottleTest::pauses_data()
{
    QTest::addColumn<QStringList>("failures"); // "subject|source", in order
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("source");
    QTest::addColumn<qint64>("wait");

    auto times = [](int n, const QString &subject, const QString &source) {
        QStringList l;
        for (int i = 0; i < n; ++i)
            l << subject + u'|' + source;
        return l;
    };
    QStringList rotating; // a card guessed from a new address every time
    for (int i = 1; i <= 5; ++i)
        rotating << card(u"86100003"_s) + u"|127.0.0."_s + QString::number(i);

    QTest::newRow("four failures: not yet")
        << times(4, op(u"boss"_s), kDialog) << op(u"boss"_s) << kDialog << qint64(0);
    QTest::newRow("fifth: the name pauses")
        << times(5, op(u"boss"_s), kDialog) << op(u"boss"_s) << kDialog << GuessThrottle::kPauseSeconds;
    QTest::newRow("a typo on one name leaves the others")
        << times(5, op(u"clerk"_s), kDialog) << op(u"boss"_s) << kDialog << qint64(0);
    QTest::newRow("one card's typos leave the others")
        << times(5, card(u"7"_s), u"checkout"_s) << card(u"8"_s) << u"checkout"_s << qint64(0);
    QTest::newRow("rotating addresses: the card still pauses")
        << rotating << card(u"86100003"_s) << u"127.0.0.99"_s << GuessThrottle::kPauseSeconds;
    QTest::newRow("rotating addresses: at the desk too")
        << rotating << card(u"86100003"_s) << u"checkout"_s << GuessThrottle::kPauseSeconds;
    QTest::newRow("a PC's guesses at a name pause it at the desk")
        << times(5, op(u"boss"_s), u"10.0.0.7"_s) << op(u"boss"_s) << kDialog << GuessThrottle::kPauseSeconds;
    QTest::newRow("one address guessing many names pauses")
        << QStringList{op(u"a"_s) + u"|10.0.0.7"_s, op(u"b"_s) + u"|10.0.0.7"_s, op(u"c"_s) + u"|10.0.0.7"_s,
                       op(u"d"_s) + u"|10.0.0.7"_s, op(u"e"_s) + u"|10.0.0.7"_s}
        << op(u"f"_s) << u"10.0.0.7"_s << GuessThrottle::kPauseSeconds;
    QTest::newRow("the desk's dialogs are no address")
        << QStringList{op(u"a"_s) + u"|"_s + kDialog, op(u"b"_s) + u"|"_s + kDialog,
                       op(u"c"_s) + u"|"_s + kDialog, op(u"d"_s) + u"|"_s + kDialog,
                       op(u"e"_s) + u"|"_s + kDialog}
        << op(u"f"_s) << kDialog << qint64(0);
    QTest::newRow("a card number is not an operator name")
        << times(5, card(u"boss"_s), kDialog) << op(u"boss"_s) << kDialog << qint64(0);
}

void GuessThrottleTest::pauses()
{
    QFETCH(QStringList, failures);
    QFETCH(QString, subject);
    QFETCH(QString, source);
    QFETCH(qint64, wait);
    GuessThrottle throttle;
    for (const QString &f : failures) {
        Clock::advanceSeconds(2); // past the desk-wide budget, well inside the window
        QCOMPARE(throttle.wait(f.section(u'|', 0, 0), f.section(u'|', 1)), qint64(0));
        throttle.failed(f.section(u'|', 0, 0), f.section(u'|', 1));
    }
    QCOMPARE(throttle.secondsLeft(subject, source), wait);
    QCOMPARE(throttle.wait(subject, source), wait);
}

void GuessThrottleTest::pauseRunsOnTheMonotonicClock()
{
    GuessThrottle throttle;
    for (int i = 0; i < GuessThrottle::kFailures; ++i)
        throttle.failed(op(u"boss"_s), kDialog);
    // Setting the system time forward does not end the pause, nor back lengthen it.
    Clock::setWallBy(3600);
    QCOMPARE(throttle.wait(op(u"boss"_s), kDialog), qint64(30));
    Clock::setWallBy(-7200);
    Clock::advanceSeconds(29);
    QCOMPARE(throttle.wait(op(u"boss"_s), kDialog), qint64(1));
    Clock::advanceSeconds(1);
    QCOMPARE(throttle.wait(op(u"boss"_s), kDialog), qint64(0));
    // The pause over, a fresh allowance: four more failures do not pause again.
    for (int i = 0; i < GuessThrottle::kFailures - 1; ++i)
        throttle.failed(op(u"boss"_s), kDialog);
    QCOMPARE(throttle.wait(op(u"boss"_s), kDialog), qint64(0));
}

void GuessThrottleTest::deskWideBudgetForPcs()
{
    GuessThrottle throttle;
    // A swarm of addresses, each failing at a card of its own, within one second.
    int checked = 0;
    for (int i = 1; i <= 250; ++i) {
        const QString address = u"10.0.1."_s + QString::number(i);
        if (throttle.wait(card(QString::number(i)), address) == 0) {
            ++checked;
            throttle.failed(card(QString::number(i)), address);
        }
    }
    QCOMPARE(checked, GuessThrottle::kDeskChecksPerSecond);
    QCOMPARE(throttle.wait(card(u"999"_s), u"10.0.2.1"_s), qint64(1));
    // The cashier's own checks do not queue behind the PCs.
    QCOMPARE(throttle.wait(op(u"boss"_s), kDialog), qint64(0));
    Clock::advanceSeconds(1);
    QCOMPARE(throttle.wait(card(u"999"_s), u"10.0.2.1"_s), qint64(0));
}

void GuessThrottleTest::messages()
{
    QCOMPARE(GuessThrottle::deskMessage(17), u"密码错误次数太多，请17秒后再试！"_s);
    QCOMPARE(GuessThrottle::pcMessage(), u"密码错误次数太多，请稍后再试！"_s);
}

QTEST_GUILESS_MAIN(GuessThrottleTest)
#include "guessthrottle_test.moc"
