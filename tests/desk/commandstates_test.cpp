#include "desk/commandstates.h"

#include <QTest>

Q_DECLARE_METATYPE(CommandStates)

class CommandStatesTest : public QObject
{
    Q_OBJECT

private slots:
    void byStatus_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<CommandStates>("expected");
        // start, limit, checkout, change, purchase, programs, control, toolbar start, toolbar checkout
        const CommandStates running{false, true, true, true, true, true, true, false, true};
        QTest::newRow("billing") << QStringLiteral("Y") << running;
        QTest::newRow("paused like billing") << QStringLiteral("P") << running;
        QTest::newRow("off") << QStringLiteral("N")
                             << CommandStates{true, false, false, false, false, false, false, true, false};
        QTest::newRow("standby") << QStringLiteral("S")
                                 << CommandStates{true, false, false, false, false, true, true, true, false};
    }
    void byStatus()
    {
        QFETCH(QString, status);
        QFETCH(CommandStates, expected);
        const std::optional<CommandStates> states = commandStatesFor(status);
        QVERIFY(states);
        QVERIFY(*states == expected);
    }

    void otherLettersLeaveTheStates_data()
    {
        QTest::addColumn<QString>("status");
        QTest::newRow("empty") << QString();
        QTest::newRow("lower case") << QStringLiteral("y");
        QTest::newRow("unknown") << QStringLiteral("X");
        QTest::newRow("two letters") << QStringLiteral("YS");
    }
    void otherLettersLeaveTheStates()
    {
        QFETCH(QString, status);
        QVERIFY(!commandStatesFor(status));
    }
};

QTEST_MAIN(CommandStatesTest)
#include "commandstates_test.moc"
