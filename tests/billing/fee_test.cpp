#include "billing/fee.h"
#include "common/clock.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "store/settingstable.h"
#include "support/teststore.h"

#include <QTest>

namespace {
const QDateTime kNow(QDate(2002, 3, 14), QTime(12, 0, 30));
constexpr double kNoMinimum = -1;
} // namespace

class FeeTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    void countJF_data();
    void countJF();
    void listChargeIgnoresPause();
    void missingSettingsRow();
};

void FeeTest::countJF_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<qint64>("startSecondsAgo"); // 0 with noStart: no start time
    QTest::addColumn<double>("rate");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("unit");
    QTest::addColumn<double>("overnight");
    QTest::addColumn<QList<double>>("goods");  // prices of one unit each, ordered for this machine
    QTest::addColumn<int>("missingGoods");     // lines whose number is not in the catalogue
    QTest::addColumn<double>("pauseMinutes");
    QTest::addColumn<qint64>("pauseSecondsAgo"); // -1: no pause start
    QTest::addColumn<double>("due");

    const QString N = QStringLiteral("N");
    const QString P = QStringLiteral("P");
    const QList<double> none;
    auto min = [](qint64 m) { return m * 60; };

    QTest::newRow("95 min at 3/h: 4.75 -> 5") << N << min(95) << 3.0 << 1.0 << 1.0 << 10.0 << none << 0 << 0.0 << -1LL << 5.0;
    QTest::newRow("50 min: 2.5 -> 2, half to even") << N << min(50) << 3.0 << 1.0 << 1.0 << 10.0 << none << 0 << 0.0 << -1LL << 2.0;
    QTest::newRow("50 min, half yuan: 2.5") << N << min(50) << 3.0 << 1.0 << 0.5 << 10.0 << none << 0 << 0.0 << -1LL << 2.5;
    QTest::newRow("70 min: 3.5 -> 4") << N << min(70) << 3.0 << 1.0 << 1.0 << 10.0 << none << 0 << 0.0 << -1LL << 4.0;
    QTest::newRow("95 min, half yuan: 9.5 -> 10 -> 5") << N << min(95) << 3.0 << 1.0 << 0.5 << 10.0 << none << 0 << 0.0 << -1LL << 5.0;
    QTest::newRow("10 min, minimum 2") << N << min(10) << 3.0 << 2.0 << 1.0 << 10.0 << none << 0 << 0.0 << -1LL << 2.0;
    QTest::newRow("overnight 15 + two goods at 2.5") << P << min(600) << 3.0 << 1.0 << 1.0 << 15.0 << QList<double>{2.5, 2.5} << 0 << 0.0 << -1LL << 20.0;
    QTest::newRow("overnight ignores elapsed time") << P << min(3) << 3.0 << 1.0 << 1.0 << 15.0 << none << 0 << 0.0 << -1LL << 15.0;
    QTest::newRow("fee 5 + goods 1.5: 6.5 -> 6") << N << min(100) << 3.0 << 1.0 << 1.0 << 10.0 << QList<double>{1.5} << 0 << 0.0 << -1LL << 6.0;
    QTest::newRow("fee 5 + goods 1.5, half yuan: 6.5") << N << min(100) << 3.0 << 1.0 << 0.5 << 10.0 << QList<double>{1.5} << 0 << 0.0 << -1LL << 6.5;
    QTest::newRow("minimum is for machine time only") << N << min(10) << 3.0 << 2.0 << 1.0 << 10.0 << QList<double>{1.0} << 0 << 0.0 << -1LL << 3.0;
    QTest::newRow("same clock minute: minimum") << N << 20LL << 3.0 << 1.0 << 1.0 << 10.0 << none << 0 << 0.0 << -1LL << 1.0;
    QTest::newRow("start in the future: minimum") << N << -min(120) << 3.0 << 1.0 << 1.0 << 10.0 << none << 0 << 0.0 << -1LL << 1.0;
    QTest::newRow("future start, goods still count") << N << -min(120) << 3.0 << 1.0 << 1.0 << 10.0 << QList<double>{2.0} << 0 << 0.0 << -1LL << 3.0;
    QTest::newRow("pause 0 deducts nothing") << N << min(120) << 3.0 << 1.0 << 1.0 << 10.0 << none << 0 << 0.0 << min(60) << 6.0;
    QTest::newRow("pause deducted: (120-10)-20 = 90") << N << min(120) << 3.0 << 1.0 << 1.0 << 10.0 << none << 0 << 10.0 << min(20) << 4.0;
    QTest::newRow("pause without its start") << N << min(120) << 3.0 << 1.0 << 1.0 << 10.0 << none << 0 << 10.0 << -1LL << 6.0;
    QTest::newRow("goods missing from catalogue") << N << min(100) << 3.0 << 1.0 << 1.0 << 10.0 << none << 2 << 0.0 << -1LL << 5.0;
    QTest::newRow("no rate: minimum") << N << min(100) << 0.0 << 1.0 << 1.0 << 10.0 << none << 0 << 0.0 << -1LL << 1.0;
    QTest::newRow("no start: minimum") << N << 0LL << 3.0 << 1.0 << 1.0 << 10.0 << none << 0 << 0.0 << -1LL << 1.0;
    QTest::newRow("empty minimum raises nothing") << N << min(10) << 3.0 << kNoMinimum << 1.0 << 10.0 << none << 0 << 0.0 << -1LL << 0.0;
    QTest::newRow("empty unit: whole yuan") << N << min(50) << 3.0 << 1.0 << 0.0 << 10.0 << none << 0 << 0.0 << -1LL << 2.0;
    QTest::newRow("fee equal to minimum") << N << min(20) << 3.0 << 1.0 << 1.0 << 10.0 << none << 0 << 0.0 << -1LL << 1.0;
    QTest::newRow("goods rounded with the fee") << N << min(100) << 3.0 << 1.0 << 1.0 << 10.0 << QList<double>{0.2, 0.3, 0.1} << 0 << 0.0 << -1LL << 6.0;
}

void FeeTest::countJF()
{
    QFETCH(QString, mode);
    QFETCH(qint64, startSecondsAgo);
    QFETCH(double, rate);
    QFETCH(double, minimum);
    QFETCH(double, unit);
    QFETCH(double, overnight);
    QFETCH(QList<double>, goods);
    QFETCH(int, missingGoods);
    QFETCH(double, pauseMinutes);
    QFETCH(qint64, pauseSecondsAgo);
    QFETCH(double, due);

    TestStore t;
    Settings s = *SettingsTable(t.db()).read();
    s.minimumCharge = minimum == kNoMinimum ? std::nullopt : std::optional<double>(minimum);
    s.roundingUnit = unit;
    s.overnightPrice = overnight;
    QVERIFY(SettingsTable(t.db()).save(s));

    t.addMachine(1, rate);
    t.addMachine(2, rate);
    Machine m = t.startSession(1, startSecondsAgo ? kNow.addSecs(-startSecondsAgo) : QDateTime(), mode);
    m.pauseMinutes = pauseMinutes;
    if (pauseSecondsAgo >= 0)
        m.pauseStart = kNow.addSecs(-pauseSecondsAgo);
    QVERIFY(MachineTable(t.db()).save(m));

    OrderTable orders(t.db());
    for (int i = 0; i < goods.size(); ++i) {
        const QString number = QStringLiteral("%1").arg(i + 1, 8, 10, QLatin1Char('0'));
        t.addArticle(number, QStringLiteral("货%1").arg(i), goods.at(i));
        QVERIFY(orders.add({0, 1, number, 1, kNow}));
    }
    for (int i = 0; i < missingGoods; ++i)
        QVERIFY(orders.add({0, 1, QStringLiteral("9999999%1").arg(i), 3, kNow}));
    // Goods of another machine are not this machine's.
    t.addArticle(QStringLiteral("00000077"), QStringLiteral("别人的"), 50);
    QVERIFY(orders.add({0, 2, QStringLiteral("00000077"), 1, kNow}));

    QCOMPARE(CountJF(t.db(), *MachineTable(t.db()).byNumber(1)), due);
}

void FeeTest::listChargeIgnoresPause()
{
    // The list shows elapsed time without the pause; the bill deducts it.
    Machine m;
    m.status = MachineStatus::Billing;
    m.mode = QStringLiteral("N");
    m.rate = 3;
    m.start = kNow.addSecs(-120 * 60);
    m.pauseMinutes = 10;
    m.pauseStart = kNow.addSecs(-20 * 60);
    const Tariff tariff{10, 1.0, 1};
    QCOMPARE(timeCharge(m, tariff, kNow), 6.0);
    QCOMPARE(CountJF(m, tariff, 0, kNow), 4.0);
    QCOMPARE(sessionMinutes(m, kNow), qint64(120));
}

void FeeTest::missingSettingsRow()
{
    TestStore t;
    QVERIFY(t.db().exec(QStringLiteral("DELETE FROM xtsz")));
    const Tariff tariff = Tariff::read(t.db());
    QVERIFY(!tariff.minimumCharge);
    QCOMPARE(tariff.overnightPrice, 0.0);

    t.addMachine(1, 3);
    t.startSession(1, kNow.addSecs(-50 * 60));
    QCOMPARE(CountJF(t.db(), *MachineTable(t.db()).byNumber(1)), 2.0); // 2.5 to even, no minimum
    t.startSession(1, kNow.addSecs(-10 * 60));
    QCOMPARE(CountJF(t.db(), *MachineTable(t.db()).byNumber(1)), 0.0); // 0.5 to even, nothing raises it
    t.startSession(1, kNow, QStringLiteral("P"));
    QCOMPARE(CountJF(t.db(), *MachineTable(t.db()).byNumber(1)), 0.0);
}

QTEST_GUILESS_MAIN(FeeTest)
#include "fee_test.moc"
