#include "billing/checkout.h"
#include "common/clock.h"
#include "store/database.h"
#include "store/machinetable.h"
#include "support/fakepresenter.h"
#include "support/testdesk.h"

#include <QTest>

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

// Machines 1–4; 3 billing for an hour. Their rates are stored as nobody typed them through
// this program: missing on 1 and 4, with the unit on 2 and 3.
struct Fixture : TestDesk
{
    Fixture()
    {
        store.setTariff(1, 1);
        store.setOvernightWindow(QTime(0, 0), QTime(23, 59));
        for (int n = 1; n <= 4; ++n)
            store.addMachine(n, 3, MachineStatus::Standby, QStringLiteral("10.0.0.%1").arg(n));
        store.startSession(3, kNow.addSecs(-3600));
        store.db().exec(QStringLiteral(R"(UPDATE yxsjb SET "单位费用"=NULL WHERE "机号" IN (1, 4))"));
        store.db().exec(QStringLiteral(R"(UPDATE yxsjb SET "单位费用"='2.5元' WHERE "机号"=2)"));
        store.db().exec(QStringLiteral(R"(UPDATE yxsjb SET "单位费用"='3元' WHERE "机号"=3)"));
        open();
        desk.questions().setPresenter(&presenter);
        desk.setOperator(QStringLiteral("小王"), QStringLiteral("B"));
    }

    // What no billing operation may change, as stored.
    QStringList fixedFields()
    {
        QStringList rows;
        Statement s = db().prepare(
            QStringLiteral(R"(SELECT "机号", "名称", "IP", quote("单位费用") FROM yxsjb ORDER BY rowid)"));
        while (s.next())
            rows << QStringList{s.text(0), s.text(1), s.text(2), s.text(3)}.join(u'|');
        return rows;
    }

    FakePresenter presenter;
};

enum class Operation { StartTiming, StartOvernight, LimitTime, ChangeMachine, Checkout, KeepBillingWhenDue };

} // namespace

Q_DECLARE_METATYPE(Operation)

class NarrowWritesTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(kNow); }
    void cleanup() { Clock::release(); }

    void operationsKeepFieldsTheyDoNotChange_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::newRow("开始计时") << Operation::StartTiming;
        QTest::newRow("开始通宵") << Operation::StartOvernight;
        QTest::newRow("设定") << Operation::LimitTime;
        QTest::newRow("换机") << Operation::ChangeMachine;
        QTest::newRow("结帐") << Operation::Checkout;
        QTest::newRow("due, billing goes on") << Operation::KeepBillingWhenDue;
    }
    void operationsKeepFieldsTheyDoNotChange()
    {
        QFETCH(Operation, operation);
        Fixture f;
        const QStringList before = f.fixedFields();
        QCOMPARE(before.at(0), QStringLiteral("1|1号机|10.0.0.1|NULL"));
        QCOMPARE(before.at(1), QStringLiteral("2|2号机|10.0.0.2|'2.5元'"));

        SessionInput input;
        input.name = QStringLiteral("王五");
        input.hours = QStringLiteral("1");
        input.prepaid = QStringLiteral("5");
        switch (operation) {
        case Operation::StartTiming:
            QVERIFY(f.desk.startTiming(1, input, false));
            QCOMPARE(f.machine(1).status, MachineStatus::Billing);
            break;
        case Operation::StartOvernight:
            QVERIFY(f.desk.startOvernight(2, input, false));
            QCOMPARE(f.machine(2).mode, QStringLiteral("P"));
            break;
        case Operation::LimitTime:
            QVERIFY(f.desk.changeSession(3, input));
            QCOMPARE(f.machine(3).prepaid, 5.0);
            break;
        case Operation::ChangeMachine:
            QVERIFY(f.desk.changeMachine(3, 4));
            QCOMPARE(f.machine(4).status, MachineStatus::Billing);
            break;
        case Operation::Checkout: {
            f.desk.select(3);
            std::unique_ptr<Checkout> c = f.desk.openCheckout(3);
            QVERIFY(c);
            QCOMPARE(c->dueText(), QStringLiteral("3"));
            QVERIFY(f.desk.settle(*c, false));
            QCOMPARE(f.machine(3).status, MachineStatus::Standby);
            break;
        }
        case Operation::KeepBillingWhenDue:
            QVERIFY(f.db().exec(
                QStringLiteral(R"(UPDATE yxsjb SET "到点时间"='2024-05-01 11:59:00' WHERE "机号"=3)")));
            f.desk.refresh();
            QVERIFY(f.presenter.answer(Answer::Cancel));
            QVERIFY(!f.machine(3).due.isValid());
            break;
        }
        QCOMPARE(f.fixedFields(), before);
    }
};

QTEST_GUILESS_MAIN(NarrowWritesTest)
#include "narrowwrites_test.moc"
