#pragma once

#include "common/result.h"
#include "reports/reporttext.h"
#include "reports/sheet.h"

#include <QList>
#include <QObject>
#include <QPageLayout>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

class PageSource;
class QPrinter;
class QPushButton;
class QTextDocument;
class QThread;
class QWidget;

// A long output of a report (PDF, print, spreadsheet): it runs beside the event loop, so the
// café's PCs and the timers are served meanwhile, says how far it got and can be cancelled.
class OutputJob : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    // Begins on the next turn of the event loop.
    virtual void start() = 0;
    // Stops soon; nothing is left at the destination, and finished(false, {}) follows.
    virtual void cancel() = 0;
    bool isRunning() const { return m_running; }

signals:
    // 0 to 100.
    void progressChanged(int percent);
    // `completed` when the output is whole; otherwise `error` says why, empty when cancelled.
    void finished(bool completed, const QString &error);

protected:
    void begin() { m_running = true; }
    void end(bool completed, const QString &error);

private:
    bool m_running = false;
};

// Paints pages onto a printer, a few milliseconds of them per turn of the event loop. A PDF
// is written beside its place under another name and put there once complete.
class PrintJob final : public OutputJob
{
    Q_OBJECT

public:
    PrintJob(std::unique_ptr<QPrinter> printer, std::unique_ptr<PageSource> pages, QObject *parent = nullptr);
    ~PrintJob() override;
    void start() override;
    void cancel() override;

    // Painting time per turn, in milliseconds; 0 paints one page per turn (tests).
    static constexpr int kSliceMilliseconds = 4;
    static void setSliceMilliseconds(int ms);

private:
    bool open();
    void step();
    void complete();
    void stop(const QString &error);
    // Lets go of the printer and of a partial file.
    void release();

    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<PageSource> m_pages;
    QPainter m_painter;
    QTimer m_timer;
    bool m_opened = false;
    QString m_target;  // the PDF's place; empty on a printer
    QString m_partial; // where it is written until complete
};

// Writes a report sheet (CSV or .xlsx) on a thread of its own, from its own copy of the rows.
class SheetJob final : public OutputJob
{
    Q_OBJECT

public:
    SheetJob(ReportSheet sheet, const QString &path, SheetFormat format, QObject *parent = nullptr);
    ~SheetJob() override;
    void start() override;
    void cancel() override;

    // Test hook: run on the writing thread before it writes.
    static void setBeforeWriting(std::function<void()> hook);

private:
    void done();

    ReportSheet m_sheet;
    QString m_path;
    SheetFormat m_format;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_cancelled{false};
    Result<> m_result;
};

// Printing and saving of the reports, behind one place that tests can answer in advance
// (the print dialog and the save-file dialog cannot be driven headless).
namespace ReportOutput {

// The font the reports are written in: blanks line the columns up only where a Chinese
// character is exactly two Latin ones wide.
QStringList fontFamilies();

// Appends styled text at the end of `doc`.
void writeStyledText(QTextDocument &doc, const StyledText &text);

// Prints a short document (a bill) whole on `printer`, at once. An `anchor` (the operator
// trail's newest hash) is printed under the text as "校验码：…", so a trail written anew
// afterwards no longer matches what is on paper.
Result<> printDocument(const QTextDocument &doc, QPrinter &printer, qreal layoutWidth = 0,
                       const QString &anchor = {});

// The width at which a report's text wraps: a right margin of 10600 twips in the café's
// report font, widened to hold as many columns in the font installed here.
qreal reportWrapWidth();

// The report commands: each asks what it must (the print dialog, a file name), then runs the
// output with a progress window whose "取消" stops it, and tells a failure as "发现错误：" +
// reason, titled "错误". Each returns the job, running and owned by `owner`, or nothing when
// the operator cancelled the dialog.
// On a PC without a printer, print offers to save a PDF named like `pdfName` instead.
OutputJob *print(QWidget *owner, std::unique_ptr<PageSource> pages,
                 QPageLayout::Orientation orientation = QPageLayout::Portrait,
                 const QString &pdfName = QStringLiteral("报表.pdf"));
// Readies `printer` for a print command: the print dialog, or, with no printer at all,
// "没有可用的打印机，是否另存为PDF文件？" and a file name for a PDF. False when the operator
// gave up.
bool choosePrinter(QWidget *owner, QPrinter &printer, const QString &pdfName);
OutputJob *savePdf(QWidget *owner, std::unique_ptr<PageSource> pages, const QString &suggestedName,
                   QPageLayout::Orientation orientation = QPageLayout::Portrait);
// "导出CSV" and "导出Excel".
OutputJob *saveSheet(QWidget *owner, const ReportSheet &sheet, const QString &suggestedName,
                     SheetFormat format);

// A report window's output buttons.
struct OutputButtons
{
    QPushButton *print = nullptr;
    QPushButton *pdf = nullptr;
    QPushButton *csv = nullptr;
    QPushButton *xlsx = nullptr;
};
// Has the buttons of `window` print and save its `pages` (in `orientation`) and export its
// `sheet`, offering names `fileStem` + ".pdf", ".csv" and ".xlsx". One output at a time: the
// four are greyed out while one runs, given back when it ends, and `finished` is called then —
// unless the window is gone.
void connectButtons(QWidget *window, const OutputButtons &buttons, const QString &fileStem,
                    QPageLayout::Orientation orientation, std::function<std::unique_ptr<PageSource>()> pages,
                    std::function<ReportSheet()> sheet, std::function<void()> finished);

// Asks for a file name and writes a short table there as CSV, at once.
void saveCsv(QWidget *parent, const QList<QStringList> &rows, const QString &suggestedName);

// Test hooks: the next print goes to this PDF file without a dialog; the next save-file
// dialog answers this name (an empty name cancels).
void setNextPrintFile(const QString &pdfPath);
void setNextSaveFileName(const QString &path);

} // namespace ReportOutput
