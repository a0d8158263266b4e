#include "accounts/rights.h"

#include <QTest>

// The rights order the café relies on: a higher right may do everything a lower one may, and
// anything that is not one of the four letters is a cashier.
class RightsTest : public QObject
{
    Q_OBJECT

private slots:
    void higherRightsIncludeLowerOnes()
    {
        const QStringList letters{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")};
        for (Command c : rights::allCommands()) {
            for (int i = 1; i < 4; ++i)
                QVERIFY(!rights::may(letters[i - 1], c) || rights::may(letters[i], c));
            QVERIFY(rights::may(QStringLiteral("D"), c));
            for (const QString &odd : {QString(), QStringLiteral("E"), QStringLiteral("d"), QStringLiteral("DD")})
                QCOMPARE(rights::may(odd, c), rights::may(QStringLiteral("A"), c));
        }
        // The ends the operators see first: a cashier keeps no report, a manager no backup.
        QVERIFY(!rights::may(QStringLiteral("A"), Command::ReportsTool));
        QVERIFY(rights::may(QStringLiteral("C"), Command::MonthlyIncome));
        QVERIFY(!rights::may(QStringLiteral("C"), Command::Restore));
    }

    void labels()
    {
        QCOMPARE(rights::labels(), (QStringList{QStringLiteral("A—记费员"), QStringLiteral("B—操作员"),
                                                QStringLiteral("C—管理员"), QStringLiteral("D—超级管理员")}));
        QCOMPARE(rights::label(QStringLiteral("X")), QString());
        QCOMPARE(rights::caption(QStringLiteral("张三")), QStringLiteral("Corvana——用户：张三"));
    }
};

QTEST_MAIN(RightsTest)
#include "rights_test.moc"
