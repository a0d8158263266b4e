#include "billing/machinelist.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(Machine)

namespace {

const QDateTime kNow(QDate(2002, 3, 14), QTime(12, 0, 30));
const QString kKeep = QStringLiteral("<keep>"); // the column keeps its old text

Machine billing(int number, qint64 minutesAgo, double rate = 3)
{
    Machine m;
    m.number = number;
    m.name = QString::number(number) + QStringLiteral("号机");
    m.status = MachineStatus::Billing;
    m.mode = QStringLiteral("N");
    m.rate = rate;
    m.start = kNow.addSecs(-minutesAgo * 60);
    m.customer = QStringLiteral("王五");
    return m;
}

QStringList texts(const EntryColumns &c)
{
    QStringList l;
    for (int i = 1; i < 9; ++i)
        l << c[i].value_or(kKeep);
    return l;
}

} // namespace

class MachineListTest : public QObject
{
    Q_OBJECT

private slots:
    void flashListView_data();
    void flashListView();
    void idleMachinesKeepTheirColumns_data();
    void idleMachinesKeepTheirColumns();
    void icons_data();
    void icons();
    void tooltips();
    void rebuildAndRefresh();
    void clearColumns();
};

void MachineListTest::flashListView_data()
{
    QTest::addColumn<Machine>("machine");
    QTest::addColumn<double>("unit");
    QTest::addColumn<double>("goods");
    QTest::addColumn<QStringList>("columns"); // 1 to 8

    QTest::newRow("125 billed minutes")
        << billing(1, 125) << 1.0 << 0.0
        << QStringList{QStringLiteral("3月14日 09:55"), kKeep, QStringLiteral("2:5"), QStringLiteral("3.00元"),
                       QStringLiteral("6.00元"), kKeep, QStringLiteral("6.00元"), QStringLiteral("王五")};

    Machine withDue = billing(2, 125);
    withDue.due = QDateTime(QDate(2002, 3, 14), QTime(13, 0));
    QTest::newRow("due time and goods; total not rounded again")
        << withDue << 1.0 << 2.5
        << QStringList{QStringLiteral("3月14日 09:55"), QStringLiteral("3月14日 13:00"), QStringLiteral("2:5"),
                       QStringLiteral("3.00元"), QStringLiteral("6.00元"), QStringLiteral("2.50元"),
                       QStringLiteral("8.50元"), QStringLiteral("王五")};

    Machine overnight = billing(3, 30);
    overnight.mode = QStringLiteral("P");
    QTest::newRow("overnight")
        << overnight << 1.0 << 0.0
        << QStringList{QStringLiteral("3月14日 11:30"), kKeep, QStringLiteral("通宵方式"), QStringLiteral("3.00元"),
                       QStringLiteral("10.00元"), kKeep, QStringLiteral("10.00元"), QStringLiteral("王五")};

    QTest::newRow("1234.5 yuan with thousands")
        << billing(4, 60, 1234.5) << 0.5 << 0.0
        << QStringList{QStringLiteral("3月14日 11:00"), kKeep, QStringLiteral("1:0"), QStringLiteral("1,234.50元"),
                       QStringLiteral("1,234.50元"), kKeep, QStringLiteral("1,234.50元"), QStringLiteral("王五")};

    Machine paused = billing(5, 50);
    paused.status = MachineStatus::Paused;
    paused.pauseMinutes = 20;
    paused.pauseStart = kNow.addSecs(-600);
    QTest::newRow("paused like billing, pause not deducted")
        << paused << 0.5 << 0.0
        << QStringList{QStringLiteral("3月14日 11:10"), kKeep, QStringLiteral("0:50"), QStringLiteral("3.00元"),
                       QStringLiteral("2.50元"), kKeep, QStringLiteral("2.50元"), QStringLiteral("王五")};

    Machine noStart = billing(6, 0);
    noStart.start = QDateTime();
    noStart.customer.clear();
    QTest::newRow("no start: minimum, time kept")
        << noStart << 1.0 << 0.0
        << QStringList{kKeep, kKeep, kKeep, QStringLiteral("3.00元"), QStringLiteral("1.00元"), kKeep,
                       QStringLiteral("1.00元"), QString()};

    QTest::newRow("start in the future")
        << billing(7, -5) << 1.0 << 0.0
        << QStringList{
               QStringLiteral("3月14日 12:05"), kKeep, QStringLiteral("0:0"),    QStringLiteral("3.00元"),
               QStringLiteral("1.00元"),        kKeep, QStringLiteral("1.00元"), QStringLiteral("王五")};
}

void MachineListTest::flashListView()
{
    QFETCH(Machine, machine);
    QFETCH(double, unit);
    QFETCH(double, goods);
    QFETCH(QStringList, columns);
    const std::optional<EntryColumns> c = FlashListView(machine, Tariff{10, 1.0, unit}, goods, kNow);
    QVERIFY(c);
    QCOMPARE(texts(*c), columns);
}

void MachineListTest::idleMachinesKeepTheirColumns_data()
{
    QTest::addColumn<QString>("status");
    QTest::newRow("standby") << QStringLiteral("S");
    QTest::newRow("off") << QStringLiteral("N");
}

void MachineListTest::idleMachinesKeepTheirColumns()
{
    QFETCH(QString, status);
    Machine m = billing(1, 30);
    m.status = machineStatusFromLetter(status);
    QVERIFY(!FlashListView(m, Tariff{10, 1.0, 1}, 5, kNow));
}

void MachineListTest::icons_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("word");
    QTest::newRow("billing") << QStringLiteral("Y") << int(IconBilling) << QStringLiteral("正在记费中");
    QTest::newRow("off") << QStringLiteral("N") << int(IconOff) << QStringLiteral("已经关机");
    QTest::newRow("paused") << QStringLiteral("P") << int(IconPaused) << QString();
    QTest::newRow("standby") << QStringLiteral("S") << int(IconStandby) << QStringLiteral("正在待机中");
    QTest::newRow("empty") << QString() << int(IconNone) << QString();
    QTest::newRow("lower case") << QStringLiteral("y") << int(IconNone) << QString();
}

void MachineListTest::icons()
{
    QFETCH(QString, status);
    QFETCH(int, icon);
    QFETCH(QString, word);
    QCOMPARE(int(iconForStatus(machineStatusFromLetter(status))), icon);
    QCOMPARE(tooltipWord(StatusIcon(icon)), word);
}

void MachineListTest::tooltips()
{
    QList<Machine> machines;
    for (const char16_t *status : {u"Y", u"P", u"S", u"N"}) {
        Machine m = billing(int(machines.size()) + 3, 10);
        m.status = machineStatusFromLetter(QString::fromUtf16(status));
        machines << m;
    }
    MachineList list;
    list.rebuild(machines, Tariff{10, 1.0, 1}, {}, kNow);
    QCOMPARE(list.tooltip(1), QStringLiteral("3号机状态：正在记费中"));
    QCOMPARE(list.tooltip(2), QStringLiteral("4号机状态："));
    QCOMPARE(list.tooltip(3), QStringLiteral("5号机状态：正在待机中"));
    QCOMPARE(list.tooltip(4), QStringLiteral("6号机状态：已经关机"));
    QCOMPARE(list.tooltip(0), QString());
    QCOMPARE(list.tooltip(5), QString());
    // The word follows the icon shown, not the stored letter.
    list.setIcon(1, IconOff);
    QCOMPARE(list.tooltip(1), QStringLiteral("3号机状态：已经关机"));
    list.setIcon(1, IconNone);
    QCOMPARE(list.at(1)->icon, IconOff);
}

void MachineListTest::rebuildAndRefresh()
{
    Machine standby = billing(2, 0);
    standby.status = MachineStatus::Standby;
    MachineList list;
    QSignalSpy rebuilt(&list, &MachineList::rebuilt);
    QSignalSpy changed(&list, &MachineList::entryChanged);
    list.rebuild({billing(1, 125), standby}, Tariff{10, 1.0, 1}, {1.5, 0}, kNow);
    QCOMPARE(rebuilt.size(), 1);
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.at(1)->text, QStringLiteral("1号机"));
    QCOMPARE(list.at(1)->columns.at(0), QStringLiteral("1号机"));
    QCOMPARE(list.at(1)->columns.at(3), QStringLiteral("2:5"));
    QCOMPARE(list.at(1)->columns.at(6), QStringLiteral("1.50元"));
    QCOMPARE(list.at(1)->icon, IconBilling);
    QCOMPARE(list.at(2)->icon, IconStandby);
    QCOMPARE(list.at(2)->columns.at(0), QStringLiteral("2号机"));
    for (int c = 1; c < 9; ++c)
        QCOMPARE(list.at(2)->columns.at(c), QString());
    QVERIFY(!list.at(0));
    QVERIFY(!list.at(3));

    // A refresh that changes nothing says nothing; one that does names its entry.
    list.apply(1, *FlashListView(billing(1, 125), Tariff{10, 1.0, 1}, 1.5, kNow));
    QCOMPARE(changed.size(), 0);
    list.apply(1, *FlashListView(billing(1, 126), Tariff{10, 1.0, 1}, 1.5, kNow));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 1);
    QCOMPARE(list.at(1)->columns.at(3), QStringLiteral("2:6"));
    // Without goods now, column 6 keeps the old total; a due time removed later stays shown.
    Machine due = billing(1, 126);
    due.due = kNow;
    list.apply(1, *FlashListView(due, Tariff{10, 1.0, 1}, 0, kNow));
    due.due = QDateTime();
    list.apply(1, *FlashListView(due, Tariff{10, 1.0, 1}, 0, kNow));
    QCOMPARE(list.at(1)->columns.at(6), QStringLiteral("1.50元"));
    QCOMPARE(list.at(1)->columns.at(2), QStringLiteral("3月14日 12:00"));
    // Positions that do not exist are skipped.
    list.apply(7, *FlashListView(due, Tariff{10, 1.0, 1}, 0, kNow));
    list.setIcon(0, IconBilling);
    list.clearColumns(9);
}

void MachineListTest::clearColumns()
{
    MachineList list;
    list.rebuild({billing(1, 125)}, Tariff{10, 1.0, 1}, {2.0}, kNow);
    QSignalSpy changed(&list, &MachineList::entryChanged);
    list.clearColumns(1);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(list.at(1)->columns.at(0), QStringLiteral("1号机"));
    for (int c = 1; c < 9; ++c)
        QCOMPARE(list.at(1)->columns.at(c), QString());
    QCOMPARE(list.at(1)->text, QStringLiteral("1号机"));
    QCOMPARE(list.at(1)->icon, IconBilling);
}

QTEST_GUILESS_MAIN(MachineListTest)
#include "machinelist_test.moc"
