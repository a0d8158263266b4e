#include "common/clock.h"
#include "reports/csv.h"
#include "reports/reportjob.h"
#include "reports/support/sampletrade.h"
#include "support/teststore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using sample::at;

using namespace Qt::StringLiterals;

namespace {

// Runs a report of `kind` over 2024-05-01 (or `from`–`to`) to its end.
struct Run
{
    Run(Database &db, ReportKind kind, int machine = 0, QDateTime from = at(1, 0, 0),
        QDateTime to = at(1, 23, 59, 59), int chunk = 4000)
        : job(db, {kind, from, to, machine})
    {
        job.setChunkRows(chunk);
        QSignalSpy progress(&job, &ReportJob::progressChanged);
        QSignalSpy finished(&job, &ReportJob::finished);
        job.start();
        if (!finished.wait(5000))
            qFatal("the report did not finish");
        for (const QList<QVariant> &p : progress)
            percents.append(p.at(0).toInt());
    }
    ReportJob job;
    QList<int> percents;
};

QString line(const char16_t *label, const char16_t *time, const char16_t *article, const char16_t *name,
             const char16_t *price, const char16_t *quantity, const char16_t *amount)
{
    return QString::fromUtf16(label) + QString::fromUtf16(time) + QString::fromUtf16(article) +
           QString::fromUtf16(name) + QString::fromUtf16(price) + QString::fromUtf16(quantity) +
           QString::fromUtf16(amount);
}

} // namespace

class ReportsTest : public QObject
{
    Q_OBJECT

private slots:
    // Every test starts on a store holding the sample day of trade.
    void init()
    {
        Clock::fix(sample::kNow);
        m_store = std::make_unique<TestStore>();
        sample::addDay(m_store->db());
    }
    void cleanup()
    {
        m_store.reset();
        Clock::release();
    }

    void machineTimeListsTheDayWithBothEndsIncluded()
    {
        Run run(db(), ReportKind::MachineTime, 3); // the machine choice does not apply
        const MachineTimeReport &r = run.job.machineTime();
        QCOMPARE(r.rows().size(), 3);
        QCOMPARE(r.rows().at(0).id, 1); // settled at 00:00:00
        QCOMPARE(r.rows().at(2).id, 3); // settled at 23:59:59
        QCOMPARE(MachineTimeReport::rowTexts(r.rows().at(1)),
                 (QStringList{u"2"_s, u"2号机"_s, u"24/05/01 08:00"_s, u"24/05/01 10:05"_s, u"通宵 "_s,
                              u"10.00元"_s, u"2.00元"_s, u"13%"_s, u"收银员"_s, u"李四"_s, u"身份证"_s,
                              u"123"_s}));
        QCOMPARE(MachineTimeReport::columnText(r.rows().at(2), 4), u"正常 "_s);
        QCOMPARE(MachineTimeReport::columnText(r.rows().at(2), 5), u"2.05元"_s);
        // 17.05 and 7.05 summed in cents, rounded half up at the tenth.
        QCOMPARE(r.summary(QDate(2024, 5, 1)), u"   总应收金额：17.1元 总实收金额：7.1元    2024年5月1日"_s);
        QCOMPARE(run.percents.last(), 100);
    }

    void machineTimeOfAnEmptyPeriodSumsToZero()
    {
        Run run(db(), ReportKind::MachineTime, 0, at(10, 0, 0), at(20, 23, 59, 59));
        QVERIFY(run.job.machineTime().rows().isEmpty());
        QCOMPARE(run.job.machineTime().summary(QDate(2024, 5, 1)),
                 u"   总应收金额：0.0元 总实收金额：0.0元    2024年5月1日"_s);
    }

    void chartCountsMoneyPerHourAndBusyMachines()
    {
        Run run(db(), ReportKind::MachineTime);
        const ReportChart &c = run.job.machineTime().chart();
        QVERIFY(c.hourly);
        QCOMPARE(c.cents.size(), 24);
        QCOMPARE(c.cents.at(0), 300);  // session 1 settled at 00:00
        QCOMPARE(c.cents.at(10), 200); // session 2 settled at 10:05
        QCOMPARE(c.cents.at(23), 205);
        QCOMPARE(c.machines.at(0), 1); // session 1 began the day before
        QCOMPARE(c.machines.at(9), 1); // session 2, 08:00-10:05
        QCOMPARE(c.machines.at(12), 0);
        QCOMPARE(c.machines.at(22), 1); // session 3, 22:00-23:59
        // A month is shown by the day: session 4 ends on the 2nd.
        Run month(db(), ReportKind::MachineTime, 0, at(1, 0, 0), at(31, 23, 59, 59));
        QVERIFY(!month.job.machineTime().chart().hourly);
        QCOMPARE(month.job.machineTime().chart().cents.size(), 31);
        QCOMPARE(month.job.machineTime().chart().cents.at(1), 10000);
    }

    void goodsLinesArePaddedByCodePageColumns()
    {
        Run run(db(), ReportKind::GoodsSales);
        const GoodsSalesReport &r = run.job.goodsSales();
        QStringList lines;
        for (const GoodsLine &l : r.lines())
            lines.append(GoodsSalesReport::lineText(l));
        const QStringList expected{
            // 可乐 takes 4 columns of 20; 3 × 2.5 = 7.5
            line(u"2号机       ", u"  2024-05-01 00:00", u"       00000001", u"可乐                ",
                 u"        2.5元", u"               3", u"        7.5元"),
            line(u"零售        ", u"  2024-05-01 09:30", u"       00000003", u"矿泉水瓶            ",
                 u"        1.0元", u"               2", u"        2.0元"),
            // missing from the catalogue: no name, worth nothing
            line(u"2号机       ", u"  2024-05-01 12:00", u"       00000009", u"                    ",
                 u"        0.0元", u"               4", u"        0.0元"),
            // 22 bytes: longer than the column, not padded
            line(u"3号机       ", u"  2024-05-01 23:59", u"       00000002", u"康师傅红烧牛肉面大桶装",
                 u"        1.5元", u"               1", u"        1.5元"),
        };
        QCOMPARE(lines, expected);
        QCOMPARE(r.incomeCents(), 1100);
        QCOMPARE(r.expenseCents(), 760);
        const StyledText t = r.text(QDate(2024, 5, 1));
        QCOMPARE(t.first().pointSize, 12);
        QVERIFY(t.first().bold);
        QVERIFY(t.first().text.startsWith(u"    机号    时间       商品编号"_s));
        QVERIFY(t.at(1).text.startsWith(u"  ─────"_s));
        QVERIFY(t.at(1).text.contains(expected.at(3) + u"\n  ━━━"_s));
        const TextRun &summary = t.last();
        QCOMPARE(summary.text, u"   总支出金额：7.6元 总收入金额：11.0元 总利润：3.4元    2024年5月1日"_s);
        QVERIFY(summary.italic && summary.centred && !summary.bold);
        QCOMPARE(summary.pointSize, 10);
    }

    void goodsOfOneMachineLeaveTheCounterOut()
    {
        Run run(db(), ReportKind::GoodsSales, 2);
        QCOMPARE(run.job.goodsSales().lines().size(), 2);
        QCOMPARE(run.job.goodsSales().incomeCents(), 750);
        QCOMPARE(run.job.goodsSales().expenseCents(), 540);
        const ReportSheet sheet = run.job.goodsSales().sheet({at(1, 0, 0), at(1, 23, 59, 59)});
        QCOMPARE(sheet.rows.size(), 2);
        QStringList cells;
        for (const SheetCell &c : sheet.rows.at(0))
            cells.append(csvCellText(c));
        QCOMPARE(cells, (QStringList{u"2"_s, u"2024-05-01 00:00"_s, u"\t00000001"_s, u"可乐"_s, u"2.50"_s,
                                     u"3"_s, u"7.50"_s}));
    }

    void incomeAddsCounterSalesAndSubtractsGoodsCost_data()
    {
        QTest::addColumn<int>("machine");
        QTest::addColumn<QString>("text");
        QTest::newRow("all machines")
            << 0
            << QStringLiteral("      总共上机时间：5小时4分钟\n"
                              "      总应收金额：  17.1元\n      总实收金额  ： 7.1元\n        其中      ： "
                              "\n         商品零售 ： 11.0元\n         柜台零售 ： 2.0元"
                              "\n         商品支出 ： 7.6元\n         商品收入 ： 3.4元\n");
        // Machine 3: session 3 (119 minutes, 2.05) and one noodle (1.5, cost 1.0); 2.05 − 1.0.
        QTest::newRow("machine 3")
            << 3
            << QStringLiteral("      总共上机时间：1小时59分钟\n"
                              "      总应收金额：  2.1元\n      总实收金额  ： 2.1元\n        其中      ： "
                              "\n         商品零售 ： 1.5元\n         柜台零售 ： 0.0元"
                              "\n         商品支出 ： 1.0元\n         商品收入 ： 0.5元\n");
    }
    void incomeAddsCounterSalesAndSubtractsGoodsCost()
    {
        QFETCH(int, machine);
        QFETCH(QString, text);
        Run run(db(), ReportKind::Income, machine);
        const StyledText t = run.job.income().text(QDate(2024, 5, 1));
        QCOMPARE(t.at(0).text + t.at(1).text, text);
        const TextRun &total = t.at(3);
        QCOMPARE(total.text,
                 machine == 0 ? u"         总收入 ： 1.5元\n"_s : u"         总收入 ： 1.1元\n"_s);
        QVERIFY(total.bold);
        QCOMPARE(total.pointSize, 14);
        QVERIFY(t.at(4).bold && t.at(4).text.startsWith(u"  ━"_s));
        QCOMPARE(t.last().text, u"2024年5月1日"_s);
        QVERIFY(t.last().centred && t.last().italic && !t.last().bold);
        // Sessions are the first half of the progress, sales the second.
        QVERIFY(run.percents.contains(50));
        QCOMPARE(run.percents.last(), 100);
    }

    void chunksMissNoRowAndCountNoneTwice()
    {
        TestStore store; // without the sample day
        // Seven sessions settled in the same second and two sales: page edges fall inside equal times.
        JournalTable journal(store.db());
        for (int i = 1; i <= 7; ++i)
            journal.add({i, i, at(1, 9, 0), at(1, 10, 0), u"N"_s, double(i), double(i), 0, {}, {}, {}, {}});
        Run run(store.db(), ReportKind::MachineTime, 0, at(1, 0, 0), at(1, 23, 59, 59), 2);
        QCOMPARE(run.job.machineTime().rows().size(), 7);
        QCOMPARE(run.job.machineTime().receivedCents(), 2800); // 1 + … + 7 = 28
        QList<int> sorted = run.percents;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(run.percents, sorted);
        QVERIFY(run.percents.size() >= 3); // 28, 57, 85, 100
    }

    void aJobStartedAgainCountsEachRowOnce()
    {
        for (ReportKind kind : {ReportKind::MachineTime, ReportKind::GoodsSales, ReportKind::Income}) {
            Run run(db(), kind);
            QSignalSpy finished(&run.job, &ReportJob::finished);
            run.job.start();
            QVERIFY(finished.wait(5000));
            QCOMPARE(run.job.machineTime().receivedCents(), kind == ReportKind::MachineTime ? 705 : 0);
            QCOMPARE(run.job.goodsSales().lines().size(), kind == ReportKind::GoodsSales ? 4 : 0);
            QCOMPARE(run.job.income().receivedCents(), kind == ReportKind::Income ? 705 : 0);
        }
    }

    void aSaleWithoutAMachineIsCountedAsCounterSale()
    {
        // Listed as "零售" by the goods report, so money taken over the counter: 2 × 1.0 joins
        // the day's counter sale of 2.0; the goods cost grows from 7.6 by 2 × 0.6 to 8.8.
        SalesTable(db()).add({std::nullopt, 0, u"00000003"_s, 2, at(1, 15, 0)});
        Run run(db(), ReportKind::Income);
        QCOMPARE(run.job.income().counterSalesCents(), 400);
        QCOMPARE(run.job.income().totalCents(), 705 + 400 - 880);
    }

    void activityIsReportedWhileAJobRuns()
    {
        QSignalSpy changes(&ReportActivity::instance(), &ReportActivity::runningChanged);
        {
            ReportJob job(db(), {ReportKind::Income, at(1, 0, 0), at(1, 23, 59, 59), 0});
            job.setChunkRows(1);
            job.start();
            QVERIFY(ReportActivity::instance().running());
            QVERIFY(QTest::qWaitFor([&] { return job.progress() > 0; }));
            job.cancel();
            QVERIFY(!job.isRunning());
        }
        QVERIFY(!ReportActivity::instance().running());
        QCOMPARE(changes.size(), 2);
    }

    void csvReadsBackWithMarkAndQuotes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"goods.csv"_s);
        const QList<QStringList> rows{{u"商品名称"_s, u"金额"_s}, {u"可乐, 大瓶"_s, u"说\"好\""_s}};
        QVERIFY(saveCsv(path, rows));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\xEF\xBB\xBF") +
                                  u"商品名称,金额\r\n\"可乐, 大瓶\",\"说\"\"好\"\"\"\r\n"_s.toUtf8());
        QVERIFY(!saveCsv(dir.filePath(u"no/such/folder/x.csv"_s), rows));
    }

private:
    Database &db() { return m_store->db(); }
    std::unique_ptr<TestStore> m_store;
};

QTEST_GUILESS_MAIN(ReportsTest)
#include "reports_test.moc"
