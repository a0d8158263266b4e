#include "accounts/rights.h"

#include <QTest>

Q_DECLARE_METATYPE(Command)

class RightsTest : public QObject
{
    Q_OBJECT

private slots:
    void matrix_data();
    void matrix();
    void everyCommandIsCovered();
    void labels();
};

// Which of A, B, C, D may use each command ("y"/"n"), as the café works.
void RightsTest::matrix_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("abcd");
    const struct
    {
        const char *name;
        Command command;
        const char *abcd;
    } rows[] = {
        {"客户管理", Command::Customers, "nyyy"},
        {"商品 edit", Command::GoodsEdit, "nyyy"},
        {"储金卡管理", Command::Cards, "nnyy"},
        {"快速网址", Command::QuickAddresses, "nnyy"},
        {"统计 menu", Command::ReportsMenu, "nnyy"},
        {"统计 toolbar", Command::ReportsTool, "nnyy"},
        {"日 机时收费表", Command::DailyMachineTime, "nnyy"},
        {"日 商品销售统计表", Command::DailyGoodsSales, "nnyy"},
        {"日 收入统计表", Command::DailyIncome, "nnyy"},
        {"月 机时收费表", Command::MonthlyMachineTime, "nnyy"},
        {"月 商品销售统计表", Command::MonthlyGoodsSales, "nnyy"},
        {"月 收入统计表", Command::MonthlyIncome, "nnyy"},
        {"client close", Command::ClientClose, "nnyy"},
        {"client setup", Command::ClientSetup, "nnyy"},
        {"计算机设置", Command::Machines, "nnny"},
        {"管理员设置", Command::Operators, "nnny"},
        {"数据备份", Command::Backup, "nnny"},
        {"数据还原", Command::Restore, "nnny"},
        {"系统设置", Command::Settings, "nnny"},
        {"操作记录", Command::Trail, "nnny"},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << r.command << QString::fromLatin1(r.abcd);
}

void RightsTest::matrix()
{
    QFETCH(Command, command);
    QFETCH(QString, abcd);
    const QStringList letters{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(rights::may(letters[i], command) == (abcd[i] == u'y'), qPrintable(letters[i]));
    // Anything that is not one of the four letters is a cashier.
    for (const QString &odd : {QString(), QStringLiteral("E"), QStringLiteral("d"), QStringLiteral("DD")})
        QCOMPARE(rights::may(odd, command), rights::may(QStringLiteral("A"), command));
}

void RightsTest::everyCommandIsCovered()
{
    QCOMPARE(rights::allCommands().size(), 20);
}

void RightsTest::labels()
{
    QCOMPARE(rights::labels(), (QStringList{QStringLiteral("A—记费员"), QStringLiteral("B—操作员"),
                                            QStringLiteral("C—管理员"), QStringLiteral("D—超级管理员")}));
    QCOMPARE(rights::label(QStringLiteral("X")), QString());
    QCOMPARE(rights::caption(QStringLiteral("张三")), QStringLiteral("Corvana——用户：张三"));
}

QTEST_GUILESS_MAIN(RightsTest)
#include "rights_test.moc"
