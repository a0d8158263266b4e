#include "billing/bill.h"
#include "common/formats.h"

#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kStart(QDate(2024, 3, 7), QTime(9, 5));
const QString kLight = QString(19, QChar(0x2500));
const QString kHeavy = QString(19, QChar(0x2501));

Machine running(const QString &mode = QStringLiteral("N"))
{
    Machine m;
    m.number = 1;
    m.name = QStringLiteral("1号机");
    m.rate = 3;
    m.status = MachineStatus::Billing;
    m.start = kStart;
    m.mode = mode;
    m.customer = QStringLiteral("张三");
    m.idKind = QStringLiteral("身份证");
    m.idNumber = QStringLiteral("110101");
    return m;
}

Tariff tariff()
{
    return {15, 1.0, 1};
}

PricedLine line(const QString &name, double price, double quantity, bool inCatalogue = true)
{
    PricedLine p;
    p.line.machine = 1;
    p.line.quantity = quantity;
    p.inCatalogue = inCatalogue;
    p.name = name;
    p.price = price;
    return p;
}

} // namespace

class BillTest : public QObject
{
    Q_OBJECT

private slots:
    void machineWithoutGoods()
    {
        // 95 minutes at 3 yuan per hour: 4.75, rounded to 5.
        const QString text = billtext::machineLines(running(), tariff(), {}, kStart.addSecs(95 * 60));
        const QString expected = QStringLiteral("1号机上机详细状况\r\n"
                                                "上机人姓名：张三\r\n"
                                                "上机人证件(身份证)：110101\r\n"
                                                "开始时间：2024年03月07日09:05\r\n"
                                                "结束时间：2024年03月07日10:40\r\n"
                                                "所用时间：1小时35分钟\r\n"
                                                "上机金额：￥5.00元\r\n"
                                                "其他花费：￥0.00元\r\n") +
                                 kLight + QStringLiteral("\r\n以上金额合计：￥5.00元\r\n");
        QCOMPARE(text, expected);
    }

    void goodsLinesFollowTheirTotal()
    {
        const QList<PricedLine> goods = {line(QStringLiteral("可乐"), 2.5, 2),
                                         line(QStringLiteral("丢失"), 9, 1, false),
                                         line(QStringLiteral("面包"), 1234.5, 1)};
        const QStringList lines = billtext::machineLines(running(), tariff(), goods, kStart.addSecs(125 * 60))
                                      .split(QStringLiteral("\r\n"));
        QCOMPARE(lines.at(5), QStringLiteral("所用时间：2小时5分钟"));
        QCOMPARE(lines.at(6), QStringLiteral("上机金额：￥6.00元"));
        // A line missing from the catalogue adds nothing and is not listed.
        QCOMPARE(lines.at(7), QStringLiteral("其他花费：￥1239.50元"));
        QCOMPARE(lines.at(8), QStringLiteral("    可乐：2.50元*2=5.00元"));
        QCOMPARE(lines.at(9), QStringLiteral("    面包：1234.50元*1=1234.50元"));
        QCOMPARE(lines.at(10), kLight);
        QCOMPARE(lines.at(11), QStringLiteral("以上金额合计：￥1245.50元"));
        QCOMPARE(lines.size(), 13); // the last CR LF leaves an empty piece
    }

    void overnightShowsThePriceAndTheElapsedTime()
    {
        const QStringList lines = billtext::machineLines(running(QStringLiteral("P")), tariff(), {},
                                                         kStart.addSecs(10 * 3600 + 7 * 60))
                                      .split(QStringLiteral("\r\n"));
        QCOMPARE(lines.at(5), QStringLiteral("所用时间：10小时7分钟"));
        QCOMPARE(lines.at(6), QStringLiteral("上机金额：￥15.00元"));
        QCOMPARE(lines.at(9), QStringLiteral("以上金额合计：￥15.00元"));
    }

    void receivedPartIsRewrittenAlone()
    {
        Bill bill;
        bill.setPayment({3}); // nothing to rewrite before the first machine
        QCOMPARE(bill.text(), QString());
        QCOMPARE(bill.tail(), 0);

        const QString machine = billtext::machineLines(running(), tariff(), {}, kStart.addSecs(3600));
        bill.appendMachine(machine, {3});
        QCOMPARE(bill.tail(), machine.size());
        QCOMPARE(bill.text(), machine + kHeavy + QStringLiteral("\r\n实 收 金 额 ：￥3.00元\r\n"));

        bill.setPayment({2.5});
        QCOMPARE(bill.text(), machine + kHeavy + QStringLiteral("\r\n实 收 金 额 ：￥2.50元\r\n"));
    }

    void receivedPartTellsWhatIsHandedBack_data()
    {
        QTest::addColumn<double>("received");
        QTest::addColumn<double>("prepaid");
        QTest::addColumn<double>("change");
        QTest::addColumn<QString>("lines"); // after the received line
        QTest::newRow("nothing prepaid") << 3.0 << 0.0 << 0.0 << QString();
        QTest::newRow("prepaid, rest taken") << 3.0 << 10.0 << 0.0 << u"已 收 金 额 ：￥10.00元\r\n"_s;
        QTest::newRow("prepaid beyond the due")
            << -7.0 << 10.0 << 0.0 << u"已 收 金 额 ：￥10.00元\r\n应 退 还 ：￥7.00元\r\n"_s;
        QTest::newRow("change") << 50.0 << 0.0 << 45.0 << u"找 零 ：￥45.00元\r\n"_s;
    }
    void receivedPartTellsWhatIsHandedBack()
    {
        QFETCH(double, received);
        QFETCH(double, prepaid);
        QFETCH(double, change);
        QFETCH(QString, lines);
        const QString taken = formatBillMoney(std::max(received, 0.0));
        QCOMPARE(billtext::receivedLines({received, prepaid, change}),
                 kHeavy + u"\r\n实 收 金 额 ："_s + taken + u"\r\n"_s + lines);
    }

    void severalMachinesShareOneReceivedLine()
    {
        Machine second = running();
        second.name = QStringLiteral("2号机");
        const QDateTime now = kStart.addSecs(3600);
        const QString first = billtext::machineLines(running(), tariff(), {}, now);
        const QString other = billtext::machineLines(second, tariff(), {}, now);

        Bill bill;
        bill.appendMachine(first, {3});
        bill.appendMachine(other, {3});
        bill.setPayment({12.5});
        QCOMPARE(bill.text(), first + kHeavy + QStringLiteral("\r\n") + other + kHeavy +
                                  QStringLiteral("\r\n实 收 金 额 ：￥12.50元\r\n"));
        QCOMPARE(bill.text().count(QStringLiteral("实 收 金 额")), 1);

        bill.clear();
        QCOMPARE(bill.tail(), 0);
        QCOMPARE(bill.text(), QString());
    }
};

QTEST_MAIN(BillTest)
#include "bill_test.moc"
