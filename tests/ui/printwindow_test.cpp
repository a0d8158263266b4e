#include "common/clock.h"
#include "reports/reportjob.h"
#include "reports/support/sampletrade.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/messages.h"
#include "ui/printwindow.h"
#include "ui/reportoutput.h"

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

namespace {

// The goods sales report of the sample day, all machines.
GoodsSalesReport goodsOfTheDay(Database &db)
{
    ReportJob job(db, {ReportKind::GoodsSales, sample::at(1, 0, 0), sample::at(1, 23, 59, 59), 0});
    QSignalSpy finished(&job, &ReportJob::finished);
    job.start();
    if (!finished.wait(5000))
        qFatal("the report did not finish");
    return job.goodsSales();
}

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
            {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class PrintWindowTest : public UiTest
{
    Q_OBJECT

public:
    PrintWindowTest() : UiTest(sample::kNow) {}

private slots:
    void showsTheStyledTextInItsFormats()
    {
        TestStore store;
        sample::addDay(store.db());
        const GoodsSalesReport report = goodsOfTheDay(store.db());
        const StyledText text = report.text(QDate(2024, 5, 1));
        PrintWindow window(text, report.table(), QStringLiteral("商品销售统计表"));
        QCOMPARE(window.windowTitle(), QStringLiteral("打印报表"));
        QTextDocument *doc = window.textArea()->document();
        QCOMPARE(doc->toPlainText(), plainText(text));
        const QTextBlock heading = doc->firstBlock();
        const QTextCharFormat headingFormat = heading.begin().fragment().charFormat();
        QCOMPARE(headingFormat.fontPointSize(), 12.0);
        QVERIFY(headingFormat.fontWeight() == QFont::Bold);
        const QTextCharFormat ruleFormat = heading.next().begin().fragment().charFormat();
        QCOMPARE(ruleFormat.fontPointSize(), 9.0);
        QVERIFY(ruleFormat.fontWeight() != QFont::Bold);
        const QTextBlock summary = doc->lastBlock();
        QVERIFY(summary.text().startsWith(QStringLiteral("   总支出金额：7.6元")));
        QVERIFY(summary.blockFormat().alignment() & Qt::AlignHCenter);
        QVERIFY(!(summary.previous().blockFormat().alignment() & Qt::AlignHCenter));
        QVERIFY(summary.begin().fragment().charFormat().fontItalic());
        QCOMPARE(summary.begin().fragment().charFormat().fontPointSize(), 10.0);
        QVERIFY(child<QPushButton>(window, "cmdCsv")->isVisibleTo(&window));
    }

    void printsAndSavesThePdfAndTheLines()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        TestStore store;
        sample::addDay(store.db());
        const GoodsSalesReport report = goodsOfTheDay(store.db());
        PrintWindow window(report.text(QDate(2024, 5, 1)), report.table(), QStringLiteral("商品销售统计表"));
        QTemporaryDir dir;

        const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
        ReportOutput::setNextPrintFile(printed);
        QTest::mouseClick(child<QPushButton>(window, "cmdPrint"), Qt::LeftButton);
        QString text = pdfText(printed);
        QVERIFY2(text.contains(QStringLiteral("总利润：3.4元")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("康师傅红烧牛肉面大桶装")));

        const QString saved = dir.filePath(QStringLiteral("saved.pdf"));
        ReportOutput::setNextSaveFileName(saved);
        QTest::mouseClick(child<QPushButton>(window, "cmdPdf"), Qt::LeftButton);
        QVERIFY(pdfText(saved).contains(QStringLiteral("零售")));

        const QString csv = dir.filePath(QStringLiteral("goods.csv"));
        ReportOutput::setNextSaveFileName(csv);
        QTest::mouseClick(child<QPushButton>(window, "cmdCsv"), Qt::LeftButton);
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.at(2), QStringLiteral("零售,2024-05-01 09:30,00000003,矿泉水瓶,1.00,2,2.00"));
        QVERIFY(Messages::takeShownTexts().isEmpty());
    }

    void aFailedPrintIsTold()
    {
        PrintWindow window({{QStringLiteral("x\n"), 9}}, {}, QStringLiteral("收入统计表"));
        QVERIFY(!child<QPushButton>(window, "cmdCsv")->isVisibleTo(&window));
        ReportOutput::setNextPrintFile(QStringLiteral("/no/such/folder/out.pdf"));
        QTest::mouseClick(child<QPushButton>(window, "cmdPrint"), Qt::LeftButton);
        const QStringList told = Messages::takeShownTexts();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().startsWith(QStringLiteral("发现错误：")), qPrintable(told.first()));
    }
};

QTEST_MAIN(PrintWindowTest)
#include "printwindow_test.moc"
