// What one PC may send, and what it may make the desk write to its log, against a fake clock.
#include "common/clock.h"
#include "common/loglimit.h"
#include "link/messagerate.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Messages at the given times (ms); the verdicts as letters: T take, D drop, C close.
QString verdicts(const QList<qint64> &times)
{
    MessageRate rate;
    QString out;
    for (const qint64 t : times) {
        switch (rate.admit(t)) {
        case MessageRate::Verdict::Take:
            out += u'T';
            break;
        case MessageRate::Verdict::Drop:
            out += u'D';
            break;
        case MessageRate::Verdict::Close:
            out += u'C';
            break;
        }
    }
    return out;
}

// `count` messages from `from` ms on, `step` ms apart.
QList<qint64> burst(qint64 from, int count, qint64 step = 0)
{
    QList<qint64> times;
    for (int i = 0; i < count; ++i)
        times << from + i * step;
    return times;
}

} // namespace

class RateLimitsTest final : public QObject
{
    Q_OBJECT

private slots:
    void messageRate_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QString>("verdicts");
        const int b = MessageRate::kBurst;
        QTest::newRow("a burst is taken") << burst(0, b) << QString(b, u'T');
        QTest::newRow("beyond the burst dropped") << burst(0, b + 3) << QString(b, u'T') + u"DDD"_s;
        QTest::newRow("refilled at the rate")
            << burst(0, b + 1) + QList<qint64>{1000 / MessageRate::kPerSecond, 1000 / MessageRate::kPerSecond}
            << QString(b, u'T') + u"DTD"_s;
        QTest::newRow("steady at the rate is all taken")
            << burst(0, 200, 1000 / MessageRate::kPerSecond) << QString(200, u'T');
        // 50 a second after the burst: the rate's worth taken, the rest dropped; dropping in
        // kCloseAfter seconds in a row closes, a quiet second between starts the count anew.
        const QString second =
            QString(MessageRate::kPerSecond, u'T') + QString(50 - MessageRate::kPerSecond, u'D');
        QList<qint64> persists = burst(0, b);
        QString closes(b, u'T');
        for (int s = 1; s <= MessageRate::kCloseAfter; ++s) {
            persists += burst(s * 1000, 50);
            closes += s < MessageRate::kCloseAfter ? second : QString(second).replace(u'D', u'C');
        }
        QTest::newRow("persisting closes") << persists << closes;
        QList<qint64> quiet = burst(0, b);
        QString kept(b, u'T');
        for (const int s : {1, 2, 4, 5, 6}) {
            quiet += burst(s * 1000, 50);
            kept += s == 4 ? QString(b, u'T') + QString(50 - b, u'D') : second;
        }
        QTest::newRow("a second without drops starts anew") << quiet << kept;
    }
    void messageRate()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(QString, verdicts);
        QCOMPARE(::verdicts(times), verdicts);
    }

    // One line per kind and address a minute; the next one written says how many were left out.
    void logLimit_data()
    {
        QTest::addColumn<QStringList>("lines");  // "seconds kind address"
        QTest::addColumn<QList<int>>("written"); // per line: -1 left out, else the count noted
        QTest::newRow("one a minute")
            << QStringList{u"0 a x"_s, u"1 a x"_s, u"59 a x"_s, u"60 a x"_s, u"61 a x"_s}
            << QList<int>{0, -1, -1, 2, -1};
        QTest::newRow("per address") << QStringList{u"0 a x"_s, u"0 a y"_s, u"1 a y"_s}
                                     << QList<int>{0, 0, -1};
        QTest::newRow("per kind") << QStringList{u"0 a x"_s, u"0 b x"_s} << QList<int>{0, 0};
        QTest::newRow("clock set back") << QStringList{u"100 a x"_s, u"5 a x"_s} << QList<int>{0, 0};
    }
    void logLimit()
    {
        QFETCH(QStringList, lines);
        QFETCH(QList<int>, written);
        LogLimit limit;
        const QDateTime start(QDate(2002, 3, 14), QTime(12, 0));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QStringList p = lines.at(i).split(u' ');
            Clock::fix(start.addSecs(p.at(0).toInt()));
            const std::optional<int> got = limit.allow(p.at(1), p.at(2));
            QCOMPARE(got.value_or(-1), written.at(i));
        }
        Clock::release();
    }

    // A swarm of addresses cannot make it remember without bound.
    void logLimitIsBounded()
    {
        LogLimit limit;
        const QDateTime now(QDate(2002, 3, 14), QTime(12, 0));
        for (int i = 0; i < 10000; ++i)
            limit.allow(u"a"_s, QString::number(i), now);
        QVERIFY(limit.size() <= 4096);
        QVERIFY(limit.allow(u"a"_s, u"new"_s, now.addSecs(LogLimit::kPeriodSeconds)).has_value());
        QCOMPARE(LogLimit::leftOutNote(0), QString());
        QVERIFY(LogLimit::leftOutNote(3).contains(u"3"_s));
    }
};

QTEST_MAIN(RateLimitsTest)
#include "ratelimits_test.moc"
