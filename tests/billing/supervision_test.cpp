#include "billing/clientlink.h"
#include "billing/machinelist.h"
#include "billing/supervision.h"
#include "common/clock.h"
#include "common/questions.h"
#include "store/machinetable.h"
#include "support/fakepresenter.h"
#include "support/testdesk.h"
#include "support/teststore.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QDateTime kNow(QDate(2002, 3, 14), QTime(14, 5, 9));
const QString kDueMessage = QStringLiteral("你所定的时间已经到了，请到吧台去结帐！");

// A supervisor over a temporary store, with a fake link and a fake operator.
struct Desk
{
    Desk()
    {
        link.connected.emplace();
        supervisor.setLink(&link);
        questions.setPresenter(&presenter);
    }
    void buildList() { list.rebuild(MachineTable(t.db()).all(), Tariff::read(t.db()), {}, Clock::now()); }
    Machine machine(int number) { return *MachineTable(t.db()).byNumber(number); }
    void setDue(int number, const QDateTime &due)
    {
        Machine m = machine(number);
        m.due = due;
        QVERIFY(MachineTable(t.db()).save(m));
    }

    TestStore t;
    MachineList list;
    QuestionQueue questions;
    Supervisor supervisor{t.db(), list, questions};
    FakeLink link;
    FakePresenter presenter;
};

} // namespace

class SupervisionTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    void billingWithoutDueNeverAsked();
    void dueOnlyAfterTheInstant();
    void dueQuestionAndMessages();
    void cancelClearsDueAndRestarts();
    void okKeepsDueAndSelects();
    void waitingQuestionNotRepeated();
    void dueWithoutConnection();
    void settledWhileQuestionWaits();
    void immediateAnswersAskEachMachineOnce();
    void standby_data();
    void standby();
    void countsAndIcons();
    void refreshesColumns();
};

void SupervisionTest::billingWithoutDueNeverAsked()
{
    Desk d;
    d.t.addMachine(1, 3, MachineStatus::Off, QStringLiteral("10.0.0.1"));
    *d.link.connected << QStringLiteral("10.0.0.1");
    d.t.startSession(1, kNow.addDays(-3));
    d.buildList();
    d.supervisor.pass();
    Clock::advanceSeconds(10 * 24 * 3600);
    d.supervisor.pass();
    QVERIFY(d.presenter.asked.isEmpty());
    QVERIFY(d.link.sent.isEmpty());
    QCOMPARE(d.machine(1).status, MachineStatus::Billing);
}

void SupervisionTest::dueOnlyAfterTheInstant()
{
    Desk d;
    d.t.addMachine(1, 3, MachineStatus::Off, QStringLiteral("10.0.0.1"));
    *d.link.connected << QStringLiteral("10.0.0.1");
    d.t.startSession(1, kNow.addSecs(-3600));
    d.setDue(1, kNow);
    d.buildList();
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), 0);
    QVERIFY(d.link.sent.isEmpty());
    Clock::advanceSeconds(1);
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), 1);
}

void SupervisionTest::dueQuestionAndMessages()
{
    Desk d;
    d.t.addMachine(1, 3, MachineStatus::Off, QStringLiteral("10.0.0.1"));
    d.t.addMachine(2, 3, MachineStatus::Off, QStringLiteral("10.0.0.2"));
    *d.link.connected << QStringLiteral("10.0.0.1") << QStringLiteral("10.0.0.2");
    d.t.startSession(2, kNow.addSecs(-3600));
    d.setDue(2, kNow.addSecs(-60));
    d.buildList();
    d.supervisor.pass();

    // The client is stopped and told before the operator is asked.
    QCOMPARE(d.link.sent, (QStringList{QStringLiteral("10.0.0.2 stop"),
                                       QStringLiteral("10.0.0.2 msgb ") + kDueMessage}));
    QCOMPARE(d.presenter.asked.size(), 1);
    const Question q = d.presenter.asked.at(0);
    QCOMPARE(q.text, QStringLiteral("2号机 时间到了,是否要结帐?\r\n先择[确定]进入结帐界面,否则继续记费！"));
    QCOMPARE(q.buttons, Question::Buttons::OkCancel);
    QCOMPARE(q.seconds, 15);
    QVERIFY(q.title.isEmpty());
    // Billing goes on while the question waits.
    QCOMPARE(d.machine(2).status, MachineStatus::Billing);
}

void SupervisionTest::cancelClearsDueAndRestarts()
{
    // "取消" and a time-out both answer Cancel.
    Desk d;
    d.t.addMachine(1, 3, MachineStatus::Off, QStringLiteral("10.0.0.1"));
    *d.link.connected << QStringLiteral("10.0.0.1");
    d.t.startSession(1, kNow.addSecs(-3600));
    d.setDue(1, kNow.addSecs(-1));
    d.buildList();
    QSignalSpy counts(&d.supervisor, &Supervisor::countsChanged);
    QSignalSpy select(&d.supervisor, &Supervisor::selectRequested);
    d.supervisor.pass();
    QCOMPARE(counts.size(), 1);
    d.link.sent.clear();

    d.presenter.answer(Answer::Cancel);
    const Machine m = d.machine(1);
    QVERIFY(!m.due.isValid());
    QCOMPARE(m.status, MachineStatus::Billing);
    QCOMPARE(m.start, kNow.addSecs(-3600));
    QCOMPARE(d.link.sent, QStringList{QStringLiteral("10.0.0.1 start")});
    QCOMPARE(counts.size(), 2); // a complete pass ran at once
    QCOMPARE(select.size(), 0);

    // Never due again.
    Clock::advanceSeconds(3600);
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), 1);
}

void SupervisionTest::okKeepsDueAndSelects()
{
    Desk d;
    d.t.addMachine(1, 3, MachineStatus::Standby, QStringLiteral("10.0.0.1"));
    d.t.addMachine(2, 3, MachineStatus::Off, QStringLiteral("10.0.0.2"));
    *d.link.connected << QStringLiteral("10.0.0.1") << QStringLiteral("10.0.0.2");
    d.t.startSession(2, kNow.addSecs(-3600));
    const QDateTime due = kNow.addSecs(-5);
    d.setDue(2, due);
    d.buildList();
    QSignalSpy select(&d.supervisor, &Supervisor::selectRequested);
    d.supervisor.pass();
    d.presenter.answer(Answer::Ok);
    QCOMPARE(select.size(), 1);
    QCOMPARE(select.at(0).at(0).toInt(), 2);
    QCOMPARE(d.machine(2).due, due);
    QCOMPARE(d.link.sent.size(), 2); // stop and the message, no start

    // The next pass stops the client and asks again.
    Clock::advanceSeconds(30);
    d.link.sent.clear();
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), 2);
    QCOMPARE(d.link.sent, (QStringList{QStringLiteral("10.0.0.2 stop"),
                                       QStringLiteral("10.0.0.2 msgb ") + kDueMessage}));
}

void SupervisionTest::waitingQuestionNotRepeated()
{
    Desk d;
    d.t.addMachine(1, 3, MachineStatus::Off, QStringLiteral("10.0.0.1"));
    *d.link.connected << QStringLiteral("10.0.0.1");
    d.t.startSession(1, kNow.addSecs(-3600));
    d.setDue(1, kNow.addSecs(-1));
    d.buildList();
    d.supervisor.pass();
    Clock::advanceSeconds(30);
    d.supervisor.pass();
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), 1);
    QCOMPARE(d.questions.pending(), 1);
    QCOMPARE(d.link.sent.count(QStringLiteral("10.0.0.1 stop")), 1);

    // Once answered, the machine can be asked about again.
    d.presenter.answer(Answer::Ok);
    d.supervisor.pass();
    QTRY_COMPARE(d.presenter.asked.size(), 2);
}

void SupervisionTest::dueWithoutConnection()
{
    Desk d;
    d.t.addMachine(1, 3, MachineStatus::Off, QStringLiteral("10.0.0.1"));
    d.t.startSession(1, kNow.addSecs(-3600));
    d.setDue(1, kNow.addSecs(-1));
    d.buildList();
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), 1);
    d.presenter.answer(Answer::Cancel);
    QVERIFY(d.link.sent.isEmpty());
    QVERIFY(!d.machine(1).due.isValid());
}

void SupervisionTest::settledWhileQuestionWaits()
{
    Desk d;
    d.t.addMachine(1, 3, MachineStatus::Off, QStringLiteral("10.0.0.1"));
    *d.link.connected << QStringLiteral("10.0.0.1");
    d.t.startSession(1, kNow.addSecs(-3600));
    d.setDue(1, kNow.addSecs(-1));
    d.buildList();
    QSignalSpy select(&d.supervisor, &Supervisor::selectRequested);
    d.supervisor.pass();

    // Checkout settles the machine before the operator answers the box.
    Machine m = d.machine(1);
    m.status = MachineStatus::Standby;
    m.start = m.due = QDateTime();
    QVERIFY(MachineTable(d.t.db()).save(m));
    d.link.sent.clear();
    d.presenter.answer(Answer::Cancel);
    QVERIFY(d.link.sent.isEmpty()); // no "start" for a settled machine
    QCOMPARE(d.machine(1).status, MachineStatus::Standby);
    QCOMPARE(select.size(), 0);
}

void SupervisionTest::immediateAnswersAskEachMachineOnce()
{
    // An operator (or presenter) that answers at once re-enters the pass from inside it.
    Desk d;
    d.presenter.autoAnswer = Answer::Cancel;
    for (int n = 1; n <= 3; ++n) {
        const QString ip = QStringLiteral("10.0.0.%1").arg(n);
        d.t.addMachine(n, 3, MachineStatus::Off, ip);
        *d.link.connected << ip;
        d.t.startSession(n, kNow.addSecs(-3600));
        d.setDue(n, kNow.addSecs(-10));
    }
    d.buildList();
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), 3);
    for (int n = 1; n <= 3; ++n) {
        const QString ip = QStringLiteral("10.0.0.%1").arg(n);
        QCOMPARE(d.link.sent.count(ip + QStringLiteral(" stop")), 1);
        QCOMPARE(d.link.sent.count(ip + QStringLiteral(" start")), 1);
        // The client's last word is "start": billing goes on and so does the PC.
        QCOMPARE(d.link.sent.lastIndexOf(ip + QStringLiteral(" start")) >
                     d.link.sent.lastIndexOf(ip + QStringLiteral(" stop")),
                 true);
        QVERIFY(!d.machine(n).due.isValid());
    }
}

void SupervisionTest::standby_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("withLink");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("icon");

    QTest::newRow("connected stays standby") << QStringLiteral("10.0.0.1") << true << true << QStringLiteral("S")
                                             << int(IconStandby);
    QTest::newRow("no connection turns off") << QStringLiteral("10.0.0.1") << false << true << QStringLiteral("N")
                                             << int(IconOff);
    QTest::newRow("empty address turns off") << QString() << true << true << QStringLiteral("N") << int(IconOff);
    QTest::newRow("no link at all turns off") << QStringLiteral("10.0.0.1") << true << false << QStringLiteral("N")
                                              << int(IconOff);
}

void SupervisionTest::standby()
{
    QFETCH(QString, ip);
    QFETCH(bool, connected);
    QFETCH(bool, withLink);
    QFETCH(QString, status);
    QFETCH(int, icon);
    Desk d;
    if (!withLink)
        d.supervisor.setLink(nullptr);
    d.t.addMachine(1, 3, MachineStatus::Off, QStringLiteral("10.9.9.9"));
    d.t.addMachine(2, 3, MachineStatus::Standby, ip);
    if (connected)
        *d.link.connected << QStringLiteral("10.0.0.1") << QString();
    d.buildList();
    QCOMPARE(d.list.at(2)->icon, IconStandby);
    d.supervisor.pass();
    QCOMPARE(d.machine(2).status, machineStatusFromLetter(status));
    QCOMPARE(int(d.list.at(2)->icon), icon);
    // Nothing else of the row changes.
    QCOMPARE(d.machine(2).ip, ip);
    QCOMPARE(d.machine(1).status, MachineStatus::Off);
    QVERIFY(d.link.sent.isEmpty());
}

void SupervisionTest::countsAndIcons()
{
    Desk d;
    const QStringList statuses = {QStringLiteral("Y"), QStringLiteral("N"), QStringLiteral("Y"), QStringLiteral("P"),
                                  QStringLiteral("S")};
    for (int n = 1; n <= statuses.size(); ++n)
        d.t.addMachine(n, 3, machineStatusFromLetter(statuses.at(n - 1)), QStringLiteral("10.0.0.%1").arg(n));
    *d.link.connected << QStringLiteral("10.0.0.5");
    d.buildList();
    // The store changed behind the list: machine 2 started billing, machine 3 stopped.
    d.t.startSession(2, kNow.addSecs(-60));
    Machine three = d.machine(3);
    three.status = MachineStatus::Off;
    QVERIFY(MachineTable(d.t.db()).save(three));

    QSignalSpy counts(&d.supervisor, &Supervisor::countsChanged);
    d.supervisor.pass();
    QCOMPARE(counts.size(), 1);
    QCOMPARE(counts.at(0).at(0).toString(), QStringLiteral("2台记费中 1台暂停中"));
    const QList<StatusIcon> icons = {IconBilling, IconBilling, IconOff, IconPaused, IconStandby};
    for (int n = 1; n <= 5; ++n)
        QCOMPARE(d.list.at(n)->icon, icons.at(n - 1));
    QCOMPARE(Supervisor::countsText(3, 0), QStringLiteral("3台记费中 0台暂停中"));
}

void SupervisionTest::refreshesColumns()
{
    Desk d;
    d.t.addMachine(1, 3);
    d.t.startSession(1, kNow.addSecs(-125 * 60));
    d.buildList();
    QCOMPARE(d.list.at(1)->columns.at(3), QStringLiteral("2:5"));
    Clock::advanceSeconds(60);
    d.supervisor.pass();
    QCOMPARE(d.list.at(1)->columns.at(3), QStringLiteral("2:6"));
}

QTEST_GUILESS_MAIN(SupervisionTest)
#include "supervision_test.moc"
