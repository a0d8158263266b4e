#include "support/uitest.h"
#include "ui/widgets/messages.h"
#include "ui/reports/reportoutput.h"
#include "ui/reports/reportpages.h"
#include "ui/reports/reportprogress.h"
#include "ui/reports/reportwindow.h"

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

// `rows` sessions, one on each of machines 1 to `rows`: some pages of a table.
MachineTimeReport manySessions(int rows)
{
    MachineTimeReport report(
        {QDateTime(QDate(2024, 4, 1), QTime(0, 0)), QDateTime(QDate(2024, 4, 30), QTime(23, 59))});
    for (int i = 1; i <= rows; ++i)
        report.add({i,
                    i,
                    i,
                    QStringLiteral("2024-04-10 08:00:00"),
                    QStringLiteral("2024-04-10 09:00:00"),
                    QStringLiteral("N"),
                    3,
                    3,
                    0,
                    QStringLiteral("收银员"),
                    {},
                    {},
                    {}});
    report.finish();
    return report;
}

// Puts the jobs' test settings back, however a test ends.
struct JobSettings
{
    ~JobSettings()
    {
        PrintJob::setSliceMilliseconds(PrintJob::kSliceMilliseconds);
        SheetJob::setBeforeWriting({});
    }
};

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")), {path, QStringLiteral("-")});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class ReportOutputTest : public UiTest
{
    Q_OBJECT

public:
    ReportOutputTest() : UiTest(kNow) {}

private slots:
    // Page after page, the event loop runs between them (a timer fires while the job is
    // running), and no line is lost where a page breaks.
    void printingGivesWayPageByPage_data()
    {
        QTest::addColumn<bool>("table");
        QTest::newRow("machine-time table") << true;
        QTest::newRow("text report") << false;
    }
    void printingGivesWayPageByPage()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        QFETCH(bool, table);
        constexpr int kLines = 300;
        std::unique_ptr<PageSource> pages;
        if (table) {
            pages = std::make_unique<TablePages>(manySessions(kLines), QDate(2024, 5, 1), QString());
        } else {
            QString lines;
            for (int i = 1; i <= kLines; ++i)
                lines += QStringLiteral("  %1号机  可乐\n").arg(i);
            pages = std::make_unique<TextPages>(StyledText{{lines, 9}}, 700, QString());
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.pdf"));
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(path);
        const JobSettings restore;
        PrintJob::setSliceMilliseconds(0);
        PrintJob job(std::move(printer), std::move(pages));
        QSignalSpy progress(&job, &OutputJob::progressChanged);
        QSignalSpy finished(&job, &OutputJob::finished);

        int ticksWhileRunning = 0;
        QTimer tick;
        tick.setInterval(0);
        connect(&tick, &QTimer::timeout, this, [&] {
            if (job.isRunning())
                ++ticksWhileRunning;
        });
        tick.start();
        job.start();
        QVERIFY(finished.wait(60000));
        tick.stop();
        QCOMPARE(finished.first().at(0).toBool(), true);

        const QString text = pdfText(path);
        const int pageCount = int(text.count(u'\f'));
        QVERIFY2(pageCount > 2, qPrintable(QString::number(pageCount)));
        QVERIFY2(ticksWhileRunning >= pageCount - 1, qPrintable(QString::number(ticksWhileRunning)));
        QVERIFY(progress.size() >= pageCount - 1);
        QCOMPARE(progress.last().at(0).toInt(), 100);
        for (int i = 1; i <= kLines; ++i)
            QVERIFY2(text.contains(QStringLiteral("%1号机").arg(i)), qPrintable(QString::number(i)));
        if (table)
            QVERIFY(text.contains(QStringLiteral("第%1页，共%1页").arg(pageCount)));
    }

    void cancellingAPdfLeavesNothing()
    {
        ReportWindow window(manySessions(300), QDate(2024, 5, 1));
        QSignalSpy ended(&window, &ReportWindow::outputFinished);
        QTemporaryDir dir;
        const JobSettings restore;
        PrintJob::setSliceMilliseconds(0);
        ReportOutput::setNextSaveFileName(dir.filePath(QStringLiteral("time.pdf")));
        QTest::mouseClick(child<QPushButton>(window, "cmdPdf"), Qt::LeftButton);
        auto *progress = window.findChild<ReportProgress *>(QStringLiteral("frmOutputProgress"));
        QVERIFY(progress);
        QVERIFY(QTest::qWaitFor([progress] { return progress->value() > 0; }));
        QTest::mouseClick(child<QPushButton>(*progress, "cmdCancel"), Qt::LeftButton);
        QVERIFY(ended.size() == 1 || ended.wait(20000));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QVERIFY(Messages::takeShownTexts().isEmpty()); // a cancel is no failure
        QTRY_VERIFY(!window.findChild<ReportProgress *>(QStringLiteral("frmOutputProgress")));
        QVERIFY(child<QPushButton>(window, "cmdPdf")->isEnabled());
    }

    // The sheet is written on a thread of its own: it goes on only once the event loop has
    // run a timer, which a writer on the event loop's thread would never let happen.
    void sheetsAreWrittenBesideTheEventLoop_data()
    {
        QTest::addColumn<SheetFormat>("format");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("csv") << SheetFormat::Csv << false;
        QTest::newRow("xlsx") << SheetFormat::Xlsx << false;
        QTest::newRow("xlsx cancelled") << SheetFormat::Xlsx << true;
    }
    void sheetsAreWrittenBesideTheEventLoop()
    {
        QFETCH(SheetFormat, format);
        QFETCH(bool, cancel);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out"));
        SheetJob job(manySessions(3000).sheet(), path, format);
        QSemaphore timerFired;
        std::atomic<bool> waited{false};
        const JobSettings restore;
        SheetJob::setBeforeWriting([&] { waited = timerFired.tryAcquire(1, 20000); });
        QSignalSpy finished(&job, &OutputJob::finished);
        QTimer::singleShot(0, this, [&] {
            if (cancel)
                job.cancel();
            timerFired.release();
        });
        job.start();
        QVERIFY(finished.wait(60000));
        QVERIFY(waited);
        QCOMPARE(finished.first().at(0).toBool(), !cancel);
        QCOMPARE(finished.first().at(1).toString(), QString()); // cancelled, not failed
        QCOMPARE(QFile::exists(path), !cancel);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), cancel ? 0 : 1);
    }
};

QTEST_MAIN(ReportOutputTest)
#include "reportoutput_test.moc"
