#include "common/clock.h"
#include "reports/reportjob.h"
#include "reports/support/sampletrade.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/widgets/messages.h"
#include "ui/reports/printwindow.h"
#include "ui/reports/reportoutput.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

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

const ReportPeriod kDay{sample::at(1, 0, 0), sample::at(1, 23, 59, 59)};

// Clicks `button` and waits for the output it started to end.
void output(PrintWindow &window, const char *button)
{
    QSignalSpy ended(&window, &PrintWindow::outputFinished);
    QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
    if (!ended.wait(20000))
        qFatal("the output did not end");
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
        PrintWindow window(text, report.sheet(kDay), QStringLiteral("商品销售统计表"));
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

    void linesOfEqualCodePageColumnsEndAlike()
    {
        // The first three goods lines take 107 code page 936 columns each, with names of 4, 8
        // and no Chinese columns: their ends line up only where a Chinese character is two
        // blanks wide.
        TestStore store;
        sample::addDay(store.db());
        PrintWindow window(goodsOfTheDay(store.db()).text(QDate(2024, 5, 1)), {}, QStringLiteral("x"));
        QTextDocument *doc = window.textArea()->document();
        QList<qreal> ends;
        for (QTextBlock b = doc->firstBlock().next().next(); ends.size() < 3; b = b.next()) {
            doc->documentLayout()->blockBoundingRect(b); // lays the block out
            ends.append(b.layout()->lineAt(0).cursorToX(b.length() - 1));
        }
        QVERIFY2(qAbs(ends.at(0) - ends.at(1)) < 0.5 && qAbs(ends.at(0) - ends.at(2)) < 0.5,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(ends.at(0)).arg(ends.at(1)).arg(ends.at(2))));
        // The thin rule: 2 blanks and 57 characters of two columns each.
        const QTextBlock rule = doc->firstBlock().next();
        QCOMPARE(qRound(rule.layout()->lineAt(0).cursorToX(rule.length() - 1) / ends.at(0) * 107), 116);
    }

    void printsAndSavesThePdfAndTheLines()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        TestStore store;
        sample::addDay(store.db());
        const GoodsSalesReport report = goodsOfTheDay(store.db());
        PrintWindow window(report.text(QDate(2024, 5, 1)), report.sheet(kDay),
                           QStringLiteral("商品销售统计表"), QStringLiteral("0123456789abcdef"));
        QTemporaryDir dir;

        const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
        ReportOutput::setNextPrintFile(printed);
        output(window, "cmdPrint");
        QString text = pdfText(printed);
        QVERIFY2(text.contains(QStringLiteral("总利润：3.4元")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("康师傅红烧牛肉面大桶装")));
        // The trail's anchor at the foot of the paper, not on the screen.
        QVERIFY(text.contains(QStringLiteral("校验码：0123456789abcdef")));
        QVERIFY(!window.textArea()->toPlainText().contains(QStringLiteral("校验码")));

        const QString saved = dir.filePath(QStringLiteral("saved.pdf"));
        ReportOutput::setNextSaveFileName(saved);
        output(window, "cmdPdf");
        QVERIFY(pdfText(saved).contains(QStringLiteral("零售")));
        QVERIFY(pdfText(saved).contains(QStringLiteral("校验码：0123456789abcdef")));

        const QString csv = dir.filePath(QStringLiteral("goods.csv"));
        ReportOutput::setNextSaveFileName(csv);
        output(window, "cmdCsv");
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QStringList lines =
            QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.at(2), QStringLiteral("零售,2024-05-01 09:30,\t00000003,矿泉水瓶,1.00,2,2.00"));
        QVERIFY(Messages::takeShownTexts().isEmpty());
    }

    void aFailedPrintIsTold()
    {
        PrintWindow window({{QStringLiteral("x\n"), 9}}, {}, QStringLiteral("收入统计表"));
        QVERIFY(!child<QPushButton>(window, "cmdCsv")->isVisibleTo(&window));
        QVERIFY(!child<QPushButton>(window, "cmdXlsx")->isVisibleTo(&window));
        ReportOutput::setNextPrintFile(QStringLiteral("/no/such/folder/out.pdf"));
        output(window, "cmdPrint");
        const QStringList told = Messages::takeShownTexts();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().startsWith(QStringLiteral("发现错误：")), qPrintable(told.first()));
    }
};

QTEST_MAIN(PrintWindowTest)
#include "printwindow_test.moc"
