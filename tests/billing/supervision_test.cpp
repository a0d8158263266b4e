#include "link/clientlink.h"
#include "billing/machinelist.h"
#include "billing/supervision.h"
#include "common/clock.h"
#include "common/questions.h"
#include "store/machinetable.h"
#include "support/fakepresenter.h"
#include "support/testcommands.h"
#include "support/testdesk.h"
#include "support/teststore.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2002, 3, 14), QTime(14, 5, 9));
const QString kDueMessage = u"你所定的时间已经到了，请到吧台去结帐！"_s;

// A supervisor over a temporary store, with a fake link and a fake operator.
struct Desk
{
    Desk()
    {
        link.connected.emplace();
        supervisor.setPresence(&link);
        questions.setPresenter(&presenter);
    }
    void buildList() { list.rebuild(MachineTable(t.db()).all(), Tariff::read(t.db()), {}, Clock::now()); }
    Machine machine(int number) { return *MachineTable(t.db()).byNumber(number); }
    // Machine `number` at 10.0.0.<number>, billing for an hour, due at `due`; then the list.
    void billing(int number, const QDateTime &due, bool connected = true)
    {
        const QString ip = u"10.0.0.%1"_s.arg(number);
        t.addMachine(number, 3, MachineStatus::Off, ip);
        if (connected)
            *link.connected << ip;
        Machine m = t.startSession(number, kNow.addSecs(-3600));
        m.due = due;
        QVERIFY(MachineTable(t.db()).save(m));
        buildList();
    }

    TestStore t;
    MachineList list;
    QuestionQueue questions;
    FakeLink link;
    TestCommands commands{t.db(), &link};
    Supervisor supervisor{t.db(), list, questions, commands.runner};
    FakePresenter presenter;
};

} // namespace

Q_DECLARE_METATYPE(Answer)

class SupervisionTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    void dueOnlyAfterTheInstant_data();
    void dueOnlyAfterTheInstant();
    void dueQuestionAnswered_data();
    void dueQuestionAnswered();
    void waitingQuestionNotRepeated();
    void immediateAnswersAskEachMachineOnce();
    void standby_data();
    void standby();
    void countsAndIcons();
    void refreshesColumns();
};

void SupervisionTest::dueOnlyAfterTheInstant_data()
{
    QTest::addColumn<bool>("hasDue"); // due at kNow
    QTest::addColumn<int>("later");   // seconds to the second pass
    QTest::addColumn<int>("asked");
    QTest::newRow("due: not at the instant, a second later") << true << 1 << 1;
    QTest::newRow("no due time: never") << false << 10 * 24 * 3600 << 0;
}

void SupervisionTest::dueOnlyAfterTheInstant()
{
    QFETCH(bool, hasDue);
    QFETCH(int, later);
    QFETCH(int, asked);
    Desk d;
    d.billing(1, hasDue ? kNow : QDateTime());
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), 0);
    QVERIFY(d.link.sent.isEmpty());
    Clock::advanceSeconds(later);
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), asked);
    QCOMPARE(d.machine(1).status, MachineStatus::Billing);
}

void SupervisionTest::dueQuestionAnswered_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("settledMeanwhile"); // by checkout, before the answer
    QTest::addColumn<Answer>("answer");         // "取消" and a time-out both answer Cancel
    QTest::addColumn<bool>("dueKept");
    QTest::addColumn<QStringList>("sent"); // after the answer
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("askedAgain"); // by a pass 30 seconds on
    QTest::newRow("cancel: due cleared, billing restarted")
        << true << false << Answer::Cancel << false << QStringList{u"10.0.0.2 start"_s} << false << false;
    QTest::newRow("ok: due kept, machine selected")
        << true << false << Answer::Ok << true << QStringList() << true << true;
    QTest::newRow("cancel without a client")
        << false << false << Answer::Cancel << false << QStringList() << false << false;
    QTest::newRow("cancel after checkout: no start for a settled machine")
        << true << true << Answer::Cancel << false << QStringList() << false << false;
}

void SupervisionTest::dueQuestionAnswered()
{
    QFETCH(bool, connected);
    QFETCH(bool, settledMeanwhile);
    QFETCH(Answer, answer);
    QFETCH(bool, dueKept);
    QFETCH(QStringList, sent);
    QFETCH(bool, selected);
    QFETCH(bool, askedAgain);
    Desk d;
    d.t.addMachine(1, 3, MachineStatus::Standby, u"10.0.0.1"_s);
    *d.link.connected << u"10.0.0.1"_s;
    const QDateTime due = kNow.addSecs(-60);
    d.billing(2, due, connected);
    QSignalSpy counts(&d.supervisor, &Supervisor::countsChanged);
    QSignalSpy select(&d.supervisor, &Supervisor::selectRequested);
    d.supervisor.pass();
    QCOMPARE(counts.size(), 1);

    // The client is stopped and told before the operator is asked.
    const QStringList told{u"10.0.0.2 stop"_s, u"10.0.0.2 msgb "_s + kDueMessage};
    QCOMPARE(d.link.sent, connected ? told : QStringList());
    QCOMPARE(d.presenter.asked.size(), 1);
    const Question q = d.presenter.asked.at(0);
    QCOMPARE(q.text, u"2号机 时间到了,是否要结帐?\r\n先择[确定]进入结帐界面,否则继续记费！"_s);
    QCOMPARE(q.buttons, Question::Buttons::OkCancel);
    QCOMPARE(q.seconds, 15);
    QVERIFY(q.title.isEmpty());
    // Billing goes on while the question waits.
    QCOMPARE(d.machine(2).status, MachineStatus::Billing);

    if (settledMeanwhile) {
        Machine m = d.machine(2);
        m.status = MachineStatus::Standby;
        m.start = m.due = QDateTime();
        QVERIFY(MachineTable(d.t.db()).save(m));
    }
    d.link.sent.clear();
    d.presenter.answer(answer);
    const Machine m = d.machine(2);
    QCOMPARE(m.due, dueKept ? due : QDateTime());
    QCOMPARE(m.status, settledMeanwhile ? MachineStatus::Standby : MachineStatus::Billing);
    if (!settledMeanwhile)
        QCOMPARE(m.start, kNow.addSecs(-3600));
    QCOMPARE(d.link.sent, sent);
    QCOMPARE(select.size(), selected ? 1 : 0);
    if (selected)
        QCOMPARE(select.at(0).at(0).toInt(), 2);
    if (answer == Answer::Cancel && !settledMeanwhile)
        QCOMPARE(counts.size(), 2); // a complete pass ran at once

    Clock::advanceSeconds(30);
    d.link.sent.clear();
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), askedAgain ? 2 : 1);
    QCOMPARE(d.link.sent, askedAgain ? told : QStringList());
}

void SupervisionTest::waitingQuestionNotRepeated()
{
    Desk d;
    d.billing(1, kNow.addSecs(-1));
    d.supervisor.pass();
    Clock::advanceSeconds(30);
    d.supervisor.pass();
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), 1);
    QCOMPARE(d.questions.pending(), 1);
    QCOMPARE(d.link.sent.count(u"10.0.0.1 stop"_s), 1);

    // Once answered, the machine can be asked about again.
    d.presenter.answer(Answer::Ok);
    d.supervisor.pass();
    QTRY_COMPARE(d.presenter.asked.size(), 2);
}

void SupervisionTest::immediateAnswersAskEachMachineOnce()
{
    // An operator (or presenter) that answers at once re-enters the pass from inside it.
    Desk d;
    d.presenter.autoAnswer = Answer::Cancel;
    for (int n = 1; n <= 3; ++n)
        d.billing(n, kNow.addSecs(-10));
    d.supervisor.pass();
    QCOMPARE(d.presenter.asked.size(), 3);
    for (int n = 1; n <= 3; ++n) {
        const QString ip = u"10.0.0.%1"_s.arg(n);
        QCOMPARE(d.link.sent.count(ip + u" stop"_s), 1);
        QCOMPARE(d.link.sent.count(ip + u" start"_s), 1);
        // The client's last word is "start": billing goes on and so does the PC.
        QCOMPARE(d.link.sent.lastIndexOf(ip + u" start"_s) > d.link.sent.lastIndexOf(ip + u" stop"_s), true);
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

    QTest::newRow("connected stays standby") << u"10.0.0.1"_s << true << true << u"S"_s << int(IconStandby);
    QTest::newRow("no connection turns off") << u"10.0.0.1"_s << false << true << u"N"_s << int(IconOff);
    QTest::newRow("empty address turns off") << QString() << true << true << u"N"_s << int(IconOff);
    QTest::newRow("no link at all turns off") << u"10.0.0.1"_s << true << false << u"N"_s << int(IconOff);
}

void SupervisionTest::standby()
{
    QFETCH(QString, ip);
    QFETCH(bool, connected);
    QFETCH(bool, withLink);
    QFETCH(QString, status);
    QFETCH(int, icon);
    Desk d;
    if (!withLink) {
        d.supervisor.setPresence(nullptr);
        d.commands.runner.setLink(nullptr);
    }
    d.t.addMachine(1, 3, MachineStatus::Off, u"10.9.9.9"_s);
    d.t.addMachine(2, 3, MachineStatus::Standby, ip);
    if (connected)
        *d.link.connected << u"10.0.0.1"_s << QString();
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
    const QStringList statuses = {u"Y"_s, u"N"_s, u"Y"_s, u"P"_s, u"S"_s};
    for (int n = 1; n <= statuses.size(); ++n)
        d.t.addMachine(n, 3, machineStatusFromLetter(statuses.at(n - 1)), u"10.0.0.%1"_s.arg(n));
    *d.link.connected << u"10.0.0.5"_s;
    d.buildList();
    // The store changed behind the list: machine 2 started billing, machine 3 stopped.
    d.t.startSession(2, kNow.addSecs(-60));
    Machine three = d.machine(3);
    three.status = MachineStatus::Off;
    QVERIFY(MachineTable(d.t.db()).save(three));

    QSignalSpy counts(&d.supervisor, &Supervisor::countsChanged);
    d.supervisor.pass();
    QCOMPARE(counts.size(), 1);
    QCOMPARE(counts.at(0).at(0).toString(), u"2台记费中 1台暂停中"_s);
    const QList<StatusIcon> icons = {IconBilling, IconBilling, IconOff, IconPaused, IconStandby};
    for (int n = 1; n <= 5; ++n)
        QCOMPARE(d.list.at(n)->icon, icons.at(n - 1));
    QCOMPARE(Supervisor::countsText(3, 0), u"3台记费中 0台暂停中"_s);
}

void SupervisionTest::refreshesColumns()
{
    Desk d;
    d.t.addMachine(1, 3);
    d.t.startSession(1, kNow.addSecs(-125 * 60));
    d.buildList();
    QCOMPARE(d.list.at(1)->columns.at(3), u"2:5"_s);
    Clock::advanceSeconds(60);
    d.supervisor.pass();
    QCOMPARE(d.list.at(1)->columns.at(3), u"2:6"_s);
}

QTEST_GUILESS_MAIN(SupervisionTest)
#include "supervision_test.moc"
