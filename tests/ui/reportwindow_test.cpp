#include "reports/reportjob.h"
#include "reports/support/sampletrade.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/widgets/messages.h"
#include "ui/reports/reportoutput.h"
#include "ui/reports/reportwindow.h"

#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

MachineTimeReport dayReport(Database &db)
{
    ReportJob job(db, {ReportKind::MachineTime, sample::at(1, 0, 0), sample::at(1, 23, 59, 59), 0});
    QSignalSpy finished(&job, &ReportJob::finished);
    job.start();
    if (!finished.wait(5000))
        qFatal("the report did not finish");
    return job.machineTime();
}

} // namespace

class ReportWindowTest : public UiTest
{
    Q_OBJECT

public:
    ReportWindowTest() : UiTest(sample::kNow) {}

private slots:
    void listsTheRowsUnderTheSummary()
    {
        TestStore store;
        sample::addDay(store.db());
        ReportWindow window(dayReport(store.db()), QDate(2024, 5, 1));
        QCOMPARE(window.windowTitle(), QStringLiteral("报表"));
        QCOMPARE(child<QLabel>(window, "lblSummary")->text(),
                 QStringLiteral("   总应收金额：17.1元 总实收金额：7.1元    2024年5月1日"));
        QAbstractItemModel *model = window.list()->model();
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(model->columnCount(), 12);
        QCOMPARE(model->headerData(7, Qt::Horizontal).toString(), QStringLiteral("优惠"));
        QCOMPARE(model->index(1, 4).data().toString(), QStringLiteral("通宵 "));
        QVERIFY(model->index(1, 5).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
        QVERIFY(!(model->index(1, 8).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight));
        // 1600 twips at 15 twips a pixel
        QCOMPARE(window.list()->columnWidth(2), 106);
        auto *axis =
            qobject_cast<QBarCategoryAxis *>(window.chartView()->chart()->axes(Qt::Horizontal).first());
        QVERIFY(axis);
        QCOMPARE(axis->count(), 24);
        QCOMPARE(axis->at(10), QStringLiteral("10"));
        QCOMPARE(axis->titleText(), QStringLiteral("时"));
    }

    void chartNamesEveryDayOfALongPeriod_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        // The 1st to the 1st of the next month: day 1 comes twice.
        QTest::newRow("one month and a day")
            << QDate(2001, 12, 1) << QDate(2002, 1, 1) << QStringLiteral("12/1") << QStringLiteral("1/1");
        QTest::newRow("within a month")
            << QDate(2024, 4, 26) << QDate(2024, 5, 25) << QStringLiteral("26") << QStringLiteral("25");
        QTest::newRow("over a year") << QDate(2023, 5, 1) << QDate(2024, 5, 1) << QStringLiteral("2023/5/1")
                                     << QStringLiteral("2024/5/1");
    }
    void chartNamesEveryDayOfALongPeriod()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, first);
        QFETCH(QString, last);
        MachineTimeReport report({QDateTime(from, QTime(0, 0)), QDateTime(to, QTime(23, 59, 59))});
        report.finish();
        ReportWindow window(std::move(report), QDate(2024, 5, 1));
        auto *axis =
            qobject_cast<QBarCategoryAxis *>(window.chartView()->chart()->axes(Qt::Horizontal).first());
        QCOMPARE(axis->count(), int(from.daysTo(to)) + 1); // one name for every bar
        QCOMPARE(axis->at(0), first);
        QCOMPARE(axis->at(axis->count() - 1), last);
    }

    void detailShowsTheSelectedRow()
    {
        TestStore store;
        sample::addDay(store.db());
        ReportWindow window(dayReport(store.db()), QDate(2024, 5, 1));
        QTest::mouseClick(child<QPushButton>(window, "cmdDetail"), Qt::LeftButton);
        QVERIFY(Messages::takeShownTexts().isEmpty()); // nothing selected
        window.list()->selectRow(1);
        QTest::mouseClick(child<QPushButton>(window, "cmdDetail"), Qt::LeftButton);
        const QStringList told = Messages::takeShownTexts();
        QCOMPARE(told.size(), 1);
        const QStringList lines = told.first().split(u'\n');
        QCOMPARE(lines.size(), 12);
        QCOMPARE(lines.at(7), QStringLiteral("优惠：13%"));
    }

    void exportsPdfCsvAndExcel()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        TestStore store;
        sample::addDay(store.db());
        ReportWindow window(dayReport(store.db()), QDate(2024, 5, 1), QStringLiteral("0123456789abcdef"));
        QSignalSpy ended(&window, &ReportWindow::outputFinished);
        QTemporaryDir dir;
        auto output = [&](const char *button, const QString &path) {
            ReportOutput::setNextSaveFileName(path);
            QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
            // The buttons wait for the output that runs.
            QVERIFY(!child<QPushButton>(window, "cmdCsv")->isEnabled());
            QVERIFY(ended.wait(20000));
            QVERIFY(child<QPushButton>(window, "cmdCsv")->isEnabled());
        };

        const QString pdf = dir.filePath(QStringLiteral("time.pdf"));
        output("cmdPdf", pdf);
        QProcess p;
        p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")), {pdf, QStringLiteral("-")});
        p.waitForFinished(10000);
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(text.contains(QStringLiteral("总实收金额：7.1元")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("24/05/01 10:05")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("校验码：0123456789abcdef")));
        QVERIFY(text.contains(QStringLiteral("第1页，共1页")));

        const QString csv = dir.filePath(QStringLiteral("time.csv"));
        output("cmdCsv", csv);
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QStringList lines =
            QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(
            lines.at(0),
            QStringLiteral(
                "ID,机号,开始时间,结束时间,上机方式,应收款,实收款,优惠,结帐人,客户姓名,客户证件,证件号码"));
        QCOMPARE(lines.at(3),
                 QStringLiteral(
                     "3,3,2024-05-01 22:00,2024-05-01 23:59,正常,2.05,2.05,0,收银员,李四,身份证,\t123"));

        const QString xlsx = dir.filePath(QStringLiteral("time.xlsx"));
        output("cmdXlsx", xlsx);
        QFile book(xlsx);
        QVERIFY(book.open(QIODevice::ReadOnly));
        QCOMPARE(book.read(2), QByteArray("PK"));
        QVERIFY(Messages::takeShownTexts().isEmpty());

        // A save that cannot be written is told, and nothing is left behind.
        output("cmdCsv", dir.filePath(QStringLiteral("none/time.csv")));
        QVERIFY(Messages::takeShownTexts().value(0).startsWith(QStringLiteral("发现错误：")));
        output("cmdPdf", dir.filePath(QStringLiteral("none/time.pdf")));
        QVERIFY(Messages::takeShownTexts().value(0).startsWith(QStringLiteral("发现错误：")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }
};

QTEST_MAIN(ReportWindowTest)
#include "reportwindow_test.moc"
