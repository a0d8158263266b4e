#include "desk/commandstates.h"

#include <QTest>

// What the operator can do with a machine follows from its status: a double-click opens what
// the enabled commands offer, and a status the program does not know changes nothing.
class CommandStatesTest : public QObject
{
    Q_OBJECT

private slots:
    void activationOpensAnEnabledCommand_data()
    {
        QTest::addColumn<MachineStatus>("status");
        QTest::newRow("billing") << MachineStatus::Billing;
        QTest::newRow("paused") << MachineStatus::Paused;
        QTest::newRow("standby") << MachineStatus::Standby;
        QTest::newRow("off") << MachineStatus::Off;
    }
    void activationOpensAnEnabledCommand()
    {
        QFETCH(MachineStatus, status);
        const std::optional<CommandStates> states = commandStatesFor(status);
        QVERIFY(states);
        switch (activationFor(status)) {
        case Activation::Checkout:
            QVERIFY(states->checkout && states->toolCheckout && !states->startBilling);
            break;
        case Activation::SessionStart:
            QVERIFY(states->startBilling && states->toolStart && !states->checkout);
            break;
        case Activation::Nothing:
            QFAIL("a known status opens something");
        }
        // A running session can be sold to and moved; an idle machine cannot.
        const bool running = activationFor(status) == Activation::Checkout;
        QCOMPARE(states->purchase, running);
        QCOMPARE(states->changeMachine, running);
        QCOMPARE(states->limitTime, running);
    }

    void clientCommandsNeedAClientThatCanBeThere()
    {
        // An off machine has no client program to ask for its programs or to steer.
        QVERIFY(!commandStatesFor(MachineStatus::Off)->clientControl);
        QVERIFY(!commandStatesFor(MachineStatus::Off)->programList);
        QVERIFY(commandStatesFor(MachineStatus::Standby)->clientControl);
    }

    void unknownStatusChangesNothing()
    {
        QVERIFY(!commandStatesFor(MachineStatus::Unknown));
        QCOMPARE(activationFor(MachineStatus::Unknown), Activation::Nothing);
    }
};

QTEST_MAIN(CommandStatesTest)
#include "commandstates_test.moc"
