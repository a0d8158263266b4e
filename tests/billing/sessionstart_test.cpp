#include "billing/sessionstart.h"
#include "common/clock.h"
#include "store/accounttables.h"
#include "store/machinetable.h"
#include "support/testdesk.h"

#include <QTest>

namespace {

QDateTime at(int day, int hour, int minute)
{
    return QDateTime(QDate(2002, 3, day), QTime(hour, minute));
}

} // namespace

class SessionStartTest final : public QObject
{
    Q_OBJECT

private:
    // A desk on a fresh store with machine 1 (rate 3, IP 10.0.0.1) and machine 2.
    struct Fixture : TestDesk
    {
        Fixture()
        {
            store.addMachine(1, 3, MachineStatus::Standby, QStringLiteral("10.0.0.1"));
            store.addMachine(2, 2);
            open();
        }
    };

    static SessionInput input(const QString &name = QString(), const QString &hours = QString(),
                              const QString &minutes = QString(), const QString &prepaid = QString())
    {
        return {name, QStringLiteral("身份证"), QStringLiteral("110"), hours, minutes, prepaid};
    }

private slots:
    void cleanup() { Clock::release(); }

    void amountToTime_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("hours");
        QTest::addColumn<QString>("minutes");
        QTest::newRow("10 at 2.5") << 10.0 << 2.5 << "4"
                                   << "0";
        QTest::newRow("10 at 3") << 10.0 << 3.0 << "3"
                                 << "20";
        QTest::newRow("5 at 2") << 5.0 << 2.0 << "2"
                                << "30";
        QTest::newRow("part minute cut") << 1.0 << 7.0 << "0"
                                         << "8";
        QTest::newRow("no binary noise") << 1.1 << 1.1 << "1"
                                         << "0";
        QTest::newRow("rate 0") << 10.0 << 0.0 << "0"
                                << "0";
        QTest::newRow("amount 0") << 0.0 << 3.0 << "0"
                                  << "0";
    }
    void amountToTime()
    {
        QFETCH(double, amount);
        QFETCH(double, rate);
        QFETCH(QString, hours);
        QFETCH(QString, minutes);
        const SessionStart::TimeFields t = SessionStart::amountToTime(amount, rate);
        QCOMPARE(t.hours, hours);
        QCOMPARE(t.minutes, minutes);
    }

    void overnightWindow_data()
    {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<QTime>("end");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<QDateTime>("due");
        const QTime ten(22, 0), eight(8, 0);
        QTest::newRow("21:30 before the night") << ten << eight << at(14, 21, 30) << false << QDateTime();
        QTest::newRow("23:00 in the evening") << ten << eight << at(14, 23, 0) << true << at(15, 8, 0);
        QTest::newRow("03:00 after midnight") << ten << eight << at(15, 3, 0) << true << at(15, 8, 0);
        QTest::newRow("08:30 morning") << ten << eight << at(15, 8, 30) << false << QDateTime();
        QTest::newRow("00:00 on the opening edge")
            << QTime(0, 0) << QTime(6, 0) << at(14, 0, 0) << false << QDateTime();
        QTest::newRow("01:00 inside a day window")
            << QTime(0, 0) << QTime(6, 0) << at(14, 1, 0) << true << at(14, 6, 0);
    }
    void overnightWindow()
    {
        QFETCH(QTime, start);
        QFETCH(QTime, end);
        QFETCH(QDateTime, now);
        QFETCH(bool, allowed);
        QFETCH(QDateTime, due);
        QCOMPARE(SessionStart::isOvernightTime(start, end, now.time()), allowed);
        if (allowed)
            QCOMPARE(SessionStart::overnightDue(end, now), due);
    }

    void startTimingWithLimit()
    {
        Fixture f;
        Clock::fix(at(14, 10, 0));
        QVERIFY(f.desk.startTiming(1, input(QString(), QStringLiteral("1"), QStringLiteral("30"), QStringLiteral("4.5")),
            false));
        const Machine m = f.machine(1);
        QCOMPARE(m.status, MachineStatus::Billing);
        QCOMPARE(m.mode, QStringLiteral("N"));
        QCOMPARE(m.start, at(14, 10, 0));
        QCOMPARE(m.due, at(14, 11, 30));
        QCOMPARE(m.prepaid, 4.5);
        QCOMPARE(m.idKind, QStringLiteral("身份证"));
        QCOMPARE(m.idNumber, QStringLiteral("110"));
        QCOMPARE(f.link.sent, QStringList{QStringLiteral("10.0.0.1 start")});
        QCOMPARE(f.desk.machineList().at(1)->icon, IconBilling);
        QVERIFY(!f.desk.machineList().at(1)->columns.at(1).isEmpty()); // the pass has run
    }

    void startTimingWithoutLimitKeepsDueAndPrepaid()
    {
        Fixture f;
        Machine m = f.machine(1);
        m.prepaid = 7; // left by an earlier checkout
        f.save(m);
        QVERIFY(f.desk.startTiming(1, input(QString(), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("20")),
            false));
        m = f.machine(1);
        QVERIFY(!m.due.isValid());
        QCOMPARE(m.prepaid, 7.0);
        QVERIFY(m.customer.isEmpty());
        QVERIFY(CustomerTable(f.db()).all().isEmpty());
    }

    void registersNewCustomerWithNextNumber()
    {
        Fixture f;
        f.store.addCustomer(QStringLiteral("00000001"), QStringLiteral("甲"));
        f.store.addCustomer(QStringLiteral("00000003"), QStringLiteral("乙"));
        CustomerTable customers(f.db());
        QVERIFY(SessionStart::isNewCustomer(f.db(), QStringLiteral("丙")));
        QVERIFY(!SessionStart::isNewCustomer(f.db(), QStringLiteral("甲")));
        QVERIFY(!SessionStart::isNewCustomer(f.db(), QString()));

        QVERIFY(f.desk.startTiming(1, input(QStringLiteral("丙")), true));
        const std::optional<Customer> c = customers.byName(QStringLiteral("丙"));
        QVERIFY(c);
        QCOMPARE(c->number, QStringLiteral("00000002"));
        QCOMPARE(c->idKind, QStringLiteral("身份证"));
        QCOMPARE(c->idNumber, QStringLiteral("110"));
        QCOMPARE(f.machine(1).customer, QStringLiteral("丙"));
    }

    void declinedRegistrationStillStarts()
    {
        Fixture f;
        QVERIFY(f.desk.startTiming(1, input(QStringLiteral("丁")), false));
        QVERIFY(CustomerTable(f.db()).all().isEmpty());
        QCOMPARE(f.machine(1).customer, QStringLiteral("丁"));
        QCOMPARE(f.machine(1).status, MachineStatus::Billing);
    }

    void refusesToRestartARunningSession()
    {
        Fixture f;
        Clock::fix(at(14, 10, 0));
        QVERIFY(f.desk.startTiming(1, input(), false));
        Clock::fix(at(14, 12, 0));
        const Result<> result = f.desk.startTiming(1, input(), false);
        QVERIFY(!result);
        QVERIFY(!result.error().isEmpty());
        QCOMPARE(f.machine(1).start, at(14, 10, 0));
        QVERIFY(!f.desk.startTiming(9, input(), false));
    }

    // The start the client asks for writes without the desk's checks: the row itself keeps a
    // running or paused session, so a second start (from another counter too) loses nothing.
    void storedStartTakesOnlyAnIdleMachine_data()
    {
        QTest::addColumn<MachineStatus>("status");
        QTest::addColumn<bool>("taken");
        QTest::newRow("standby") << MachineStatus::Standby << true;
        QTest::newRow("off") << MachineStatus::Off << true;
        QTest::newRow("billing") << MachineStatus::Billing << false;
        QTest::newRow("paused") << MachineStatus::Paused << false;
    }

    void storedStartTakesOnlyAnIdleMachine()
    {
        QFETCH(MachineStatus, status);
        QFETCH(bool, taken);
        Fixture f;
        MachineTable machines(f.db());
        Machine m = f.machine(1);
        m.status = status;
        m.start = at(14, 9, 0);
        QVERIFY(machines.save(m));
        MachineTable::Start st;
        st.start = at(14, 10, 0);
        st.mode = QStringLiteral("N");
        bool started = false;
        QVERIFY(machines.startSessionIfIdle(m.rowid, st, &started));
        QCOMPARE(started, taken);
        // A second start changes nothing either way.
        st.start = at(14, 11, 0);
        QVERIFY(machines.startSessionIfIdle(m.rowid, st, &started));
        QVERIFY(!started);
        QCOMPARE(f.machine(1).start, taken ? at(14, 10, 0) : at(14, 9, 0));
        QCOMPARE(f.machine(1).status, taken ? MachineStatus::Billing : status);
    }

    void overnightOutsideWindowIsRefused()
    {
        Fixture f;
        f.store.setOvernightWindow(QTime(22, 0), QTime(8, 0));
        Clock::fix(at(14, 21, 30));
        QCOMPARE(SessionStart::overnightRefusal(f.db()),
                 QStringLiteral("还未到通宵时间！\r\n通宵时间：22:00:00 至 08:00:00"));
        const Result<> result = f.desk.startOvernight(1, input(QStringLiteral("戊")), true);
        QVERIFY(!result);
        QCOMPARE(result.error(), QStringLiteral("还未到通宵时间！\r\n通宵时间：22:00:00 至 08:00:00"));
        QCOMPARE(f.machine(1).status, MachineStatus::Standby);
        QVERIFY(CustomerTable(f.db()).all().isEmpty());
        QVERIFY(f.link.sent.isEmpty());
    }

    void overnightStarts()
    {
        Fixture f;
        f.store.setOvernightWindow(QTime(22, 0), QTime(8, 0));
        Clock::fix(at(14, 23, 0));
        QVERIFY(!SessionStart::overnightRefusal(f.db()));
        // Without a time limit an amount typed is not taken as prepaid.
        QVERIFY(f.desk.startOvernight(1, input(QStringLiteral("壬"), QString(), QString(), QStringLiteral("10")), false));
        Machine m = f.machine(1);
        QCOMPARE(m.mode, QStringLiteral("P"));
        QCOMPARE(m.status, MachineStatus::Billing);
        QCOMPARE(m.start, at(14, 23, 0));
        QCOMPARE(m.due, at(15, 8, 0));
        QCOMPARE(m.prepaid, 0.0);
        QCOMPARE(m.customer, QStringLiteral("壬"));
        QCOMPARE(m.idKind, QStringLiteral("身份证"));
        QCOMPARE(f.link.sent, QStringList{QStringLiteral("10.0.0.1 start")});

        // A time limit replaces the overnight due time.
        QVERIFY(f.desk.startOvernight(2, input(QString(), QStringLiteral("2"), QString(), QStringLiteral("10")), false));
        m = f.machine(2);
        QCOMPARE(m.due, at(15, 1, 0));
        QCOMPARE(m.prepaid, 10.0);
    }

    void changeSetsDueFromStart()
    {
        Fixture f;
        Clock::fix(at(14, 10, 0));
        QVERIFY(f.desk.startTiming(1, input(QStringLiteral("己")), false));
        Clock::fix(at(14, 10, 40));
        QVERIFY(
            f.desk.changeSession(1,
                                        {QStringLiteral("庚"), QStringLiteral("学生证"), QStringLiteral("9"),
                                         QStringLiteral("2"), QStringLiteral("15"), QStringLiteral("6.5")}));
        Machine m = f.machine(1);
        QCOMPARE(m.due, at(14, 12, 15));
        QCOMPARE(m.customer, QStringLiteral("庚"));
        QCOMPARE(m.idKind, QStringLiteral("学生证"));
        QCOMPARE(m.idNumber, QStringLiteral("9"));
        QCOMPARE(m.prepaid, 6.5);
        QCOMPARE(m.start, at(14, 10, 0));
        QCOMPARE(f.link.sent.size(), 1); // only the start
        QVERIFY(CustomerTable(f.db()).all().isEmpty());

        // No limit keeps the due time; an amount that is no number stores 0.
        QVERIFY(f.desk.changeSession(1, input(QString(), QStringLiteral("0"), QString(), QStringLiteral("."))));
        m = f.machine(1);
        QCOMPARE(m.due, at(14, 12, 15));
        QCOMPARE(m.prepaid, 0.0);
    }

    void changeNeedsARunningSession()
    {
        Fixture f;
        const Result<> result = f.desk.changeSession(2, input(QString(), QStringLiteral("1")));
        QVERIFY(!result);
        QVERIFY(!result.error().isEmpty());
        QVERIFY(!f.machine(2).due.isValid());
    }

    void failedWriteStartsNothing()
    {
        Fixture f;
        f.db().failWritesAfter(1); // the customer goes in, the machine row fails
        const Result<> result = f.desk.startTiming(1, input(QStringLiteral("辛")), true);
        QVERIFY(!result);
        f.db().failWritesAfter(-1);
        QVERIFY(!result.error().isEmpty());
        QVERIFY(CustomerTable(f.db()).all().isEmpty());
        QCOMPARE(f.machine(1).status, MachineStatus::Standby);
        QVERIFY(f.link.sent.isEmpty());
    }
};

QTEST_GUILESS_MAIN(SessionStartTest)
#include "sessionstart_test.moc"
