#include "reportoutput.h"

#include <QPushButton>

#include "ui/widgets/messages.h"
#include "reportpages.h"
#include "reportprogress.h"
#include "reports/csv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <cmath>
#include <memory>
#include <optional>

namespace {

std::optional<QString> g_nextPrintFile;
const QString kNoPrinter = QStringLiteral("没有可用的打印机，是否另存为PDF文件？");
std::optional<QString> g_nextSaveName;

QString askSaveName(QWidget *parent, const QString &title, const QString &suggested, const QString &filter)
{
    if (g_nextSaveName) {
        const QString name = *g_nextSaveName;
        g_nextSaveName.reset();
        return name;
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return Messages::saveFileName(parent, QDir(folder).filePath(suggested), filter, title);
}

void tellFailure(QWidget *parent, const QString &reason)
{
    Messages::tell(parent, QStringLiteral("错误"), QStringLiteral("发现错误：") + reason,
                   QMessageBox::Critical);
}

} // namespace

void OutputJob::end(bool completed, const QString &error)
{
    m_running = false;
    emit finished(completed, error);
}

namespace {
int g_sliceMs = PrintJob::kSliceMilliseconds;
std::function<void()> g_beforeWriting;

QString cannotWrite(const QString &path)
{
    return QStringLiteral("无法写入文件 %1").arg(QDir::toNativeSeparators(path));
}
} // namespace

PrintJob::PrintJob(std::unique_ptr<QPrinter> printer, std::unique_ptr<PageSource> pages, QObject *parent)
    : OutputJob(parent), m_printer(std::move(printer)), m_pages(std::move(pages))
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &PrintJob::step);
}

PrintJob::~PrintJob()
{
    if (isRunning())
        release();
}

void PrintJob::setSliceMilliseconds(int ms)
{
    g_sliceMs = std::max(0, ms);
}

void PrintJob::start()
{
    if (isRunning())
        return;
    begin();
    m_timer.start();
}

void PrintJob::cancel()
{
    if (isRunning())
        stop({});
}

bool PrintJob::open()
{
    if (m_printer->outputFormat() == QPrinter::PdfFormat) {
        m_target = m_printer->outputFileName();
        const QFileInfo target(m_target);
        if (m_target.isEmpty() || !target.absoluteDir().exists()) {
            stop(cannotWrite(m_target));
            return false;
        }
        QTemporaryFile reserved(
            target.absoluteDir().filePath(QStringLiteral(".%1-XXXXXX.pdf").arg(target.baseName())));
        reserved.setAutoRemove(false);
        if (!reserved.open()) {
            stop(cannotWrite(m_target));
            return false;
        }
        m_partial = reserved.fileName();
        m_printer->setOutputFileName(m_partial);
    } else if (!m_printer->isValid()) {
        stop(QStringLiteral("找不到可用的打印机"));
        return false;
    }
    if (!m_painter.begin(m_printer.get())) {
        stop(m_target.isEmpty() ? QStringLiteral("打印机 %1 无法打印").arg(m_printer->printerName())
                                : cannotWrite(m_target));
        return false;
    }
    m_pages->begin(m_painter, QRectF(QPointF(0, 0), m_printer->pageRect(QPrinter::DevicePixel).size()));
    m_opened = true;
    return true;
}

void PrintJob::step()
{
    if (!m_opened && !open())
        return;
    QElapsedTimer clock;
    clock.start();
    do {
        if (!m_pages->paintPage(m_painter)) {
            complete();
            return;
        }
        if (!m_printer->newPage()) {
            stop(m_target.isEmpty() ? QStringLiteral("打印机 %1 无法打印").arg(m_printer->printerName())
                                    : cannotWrite(m_target));
            return;
        }
    } while (clock.elapsed() < g_sliceMs);
    emit progressChanged(m_pages->percent());
}

void PrintJob::complete()
{
    m_timer.stop();
    m_painter.end();
    if (m_printer->printerState() == QPrinter::Error) {
        stop(m_target.isEmpty() ? QStringLiteral("打印机 %1 无法打印").arg(m_printer->printerName())
                                : cannotWrite(m_target));
        return;
    }
    if (!m_target.isEmpty()) {
        QFile::remove(m_target);
        if (!QFile::rename(m_partial, m_target)) {
            stop(cannotWrite(m_target));
            return;
        }
    }
    emit progressChanged(100);
    end(true, {});
}

void PrintJob::stop(const QString &error)
{
    release();
    end(false, error);
}

void PrintJob::release()
{
    m_timer.stop();
    if (m_painter.isActive()) {
        if (m_target.isEmpty())
            m_printer->abort();
        m_painter.end();
    }
    if (!m_partial.isEmpty())
        QFile::remove(m_partial);
}

SheetJob::SheetJob(ReportSheet sheet, const QString &path, SheetFormat format, QObject *parent)
    : OutputJob(parent), m_sheet(std::move(sheet)), m_path(path), m_format(format)
{
}

SheetJob::~SheetJob()
{
    if (m_thread) {
        m_cancelled = true;
        m_thread->wait();
    }
}

void SheetJob::setBeforeWriting(std::function<void()> hook)
{
    g_beforeWriting = std::move(hook);
}

void SheetJob::start()
{
    if (isRunning())
        return;
    begin();
    m_cancelled = false;
    // The thread reads only this job's own copy of the rows and writes only m_result, which
    // is read once the thread has finished.
    m_thread.reset(QThread::create([this, hook = g_beforeWriting] {
        if (hook)
            hook();
        m_result = writeSheet(m_sheet, m_path, m_format, [this](int percent) {
            QMetaObject::invokeMethod(
                this, [this, percent] { emit progressChanged(percent); }, Qt::QueuedConnection);
            return !m_cancelled;
        });
    }));
    connect(m_thread.get(), &QThread::finished, this, &SheetJob::done);
    m_thread->start();
}

void SheetJob::cancel()
{
    m_cancelled = true;
}

void SheetJob::done()
{
    m_thread->wait();
    m_thread.reset();
    if (m_result)
        end(true, {});
    else
        end(false, m_cancelled ? QString() : m_result.error());
}

namespace ReportOutput {

QStringList fontFamilies()
{
    return reportFontFamilies();
}

void writeStyledText(QTextDocument &doc, const StyledText &text)
{
    QTextCursor cursor(&doc);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock(); // laid out once, not after every piece
    StyledParagraphs paragraphs(text);
    for (qsizetype i = 0; !paragraphs.atEnd(); ++i) {
        const StyledParagraph p = paragraphs.next();
        if (i > 0)
            cursor.insertBlock(QTextBlockFormat(), p.blockFormat);
        if (p.text.isEmpty())
            continue;
        QTextBlockFormat block = cursor.blockFormat();
        block.setAlignment(p.alignment);
        cursor.setBlockFormat(block);
        for (const QTextLayout::FormatRange &range : p.formats)
            cursor.insertText(p.text.mid(range.start, range.length), range.format);
    }
    cursor.endEditBlock();
}

qreal reportWrapWidth()
{
    // 10600 twips at 15 twips a pixel, in a font whose half-width characters are 6 pixels
    // wide at 9 points.
    QFont font;
    font.setFamilies(fontFamilies());
    font.setPointSize(9);
    const qreal halfWidth = QFontMetricsF(font).horizontalAdvance(QChar(0x4E2D)) / 2;
    return 10600.0 / 15 * std::max(1.0, halfWidth / 6);
}

Result<> printDocument(const QTextDocument &doc, QPrinter &printer, qreal layoutWidth, const QString &anchor)
{
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        const QFileInfo file(printer.outputFileName());
        if (printer.outputFileName().isEmpty() || !file.absoluteDir().exists())
            return failure(QStringLiteral("无法写入文件 %1").arg(printer.outputFileName()));
    } else if (!printer.isValid()) {
        return failure(QStringLiteral("找不到可用的打印机"));
    }
    const std::unique_ptr<QTextDocument> copy(doc.clone());
    if (!anchor.isEmpty()) {
        QTextCursor end(copy.get());
        end.movePosition(QTextCursor::End);
        end.insertBlock();
        end.insertText(QStringLiteral("校验码：") + anchor);
    }
    if (layoutWidth > 0) {
        const QRectF page = printer.pageRect(QPrinter::DevicePixel);
        const qreal width = layoutWidth + 2 * copy->documentMargin();
        copy->setPageSize(QSizeF(width, width * page.height() / page.width()));
    }
    copy->print(&printer);
    if (printer.printerState() == QPrinter::Error)
        return failure(printer.outputFormat() == QPrinter::PdfFormat
                           ? QStringLiteral("无法写入文件 %1").arg(printer.outputFileName())
                           : QStringLiteral("打印机 %1 无法打印").arg(printer.printerName()));
    return {};
}

namespace {

// Shows the progress of `job` above `owner` until it ends, and tells how it failed.
OutputJob *run(QWidget *owner, OutputJob *job, const QString &what)
{
    QPointer<ReportProgress> progress = new ReportProgress(what, owner);
    QObject::connect(job, &OutputJob::progressChanged, progress, &ReportProgress::setValue);
    QObject::connect(progress, &ReportProgress::cancelRequested, job, &OutputJob::cancel);
    QObject::connect(job, &OutputJob::finished, owner, [owner, job, progress](bool, const QString &error) {
        if (progress)
            progress->deleteLater(); // its "取消" may be what ended the job
        job->deleteLater();
        if (!error.isEmpty())
            tellFailure(owner, error);
    });
    progress->show();
    job->start();
    return job;
}

} // namespace

OutputJob *print(QWidget *owner, std::unique_ptr<PageSource> pages, QPageLayout::Orientation orientation,
                 const QString &pdfName)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPageOrientation(orientation);
    if (g_nextPrintFile) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(*g_nextPrintFile);
        g_nextPrintFile.reset();
    } else if (!choosePrinter(owner, *printer, pdfName)) {
        return nullptr;
    }
    const QString what = printer->outputFormat() == QPrinter::PdfFormat ? QStringLiteral("正在保存PDF文件…")
                                                                        : QStringLiteral("正在打印报表…");
    return run(owner, new PrintJob(std::move(printer), std::move(pages), owner), what);
}

bool choosePrinter(QWidget *owner, QPrinter &printer, const QString &pdfName)
{
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        // The print dialog would offer nothing to print on and print nowhere without a word.
        if (Messages::ask(owner, QStringLiteral("提示"), kNoPrinter, QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::Yes) != QMessageBox::Yes)
            return false;
        const QString path =
            askSaveName(owner, QStringLiteral("另存为PDF"), pdfName, QStringLiteral("PDF 文件 (*.pdf)"));
        if (path.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        return true;
    }
    QPrintDialog dialog(&printer, owner);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    return dialog.exec() == QDialog::Accepted;
}

OutputJob *savePdf(QWidget *owner, std::unique_ptr<PageSource> pages, const QString &suggestedName,
                   QPageLayout::Orientation orientation)
{
    const QString path =
        askSaveName(owner, QStringLiteral("另存为PDF"), suggestedName, QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return nullptr;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setPageOrientation(orientation);
    printer->setOutputFileName(path);
    return run(owner, new PrintJob(std::move(printer), std::move(pages), owner),
               QStringLiteral("正在保存PDF文件…"));
}

OutputJob *saveSheet(QWidget *owner, const ReportSheet &sheet, const QString &suggestedName,
                     SheetFormat format)
{
    const bool csv = format == SheetFormat::Csv;
    const QString path =
        askSaveName(owner, csv ? QStringLiteral("导出CSV") : QStringLiteral("导出Excel"), suggestedName,
                    csv ? QStringLiteral("CSV 文件 (*.csv)") : QStringLiteral("Excel 工作簿 (*.xlsx)"));
    if (path.isEmpty())
        return nullptr;
    return run(owner, new SheetJob(sheet, path, format, owner), QStringLiteral("正在导出报表…"));
}

void saveCsv(QWidget *parent, const QList<QStringList> &rows, const QString &suggestedName)
{
    const QString path =
        askSaveName(parent, QStringLiteral("导出CSV"), suggestedName, QStringLiteral("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    if (const Result<> written = ::saveCsv(path, rows); !written)
        tellFailure(parent, written.error());
}

void setNextPrintFile(const QString &pdfPath)
{
    g_nextPrintFile = pdfPath;
}

void setNextSaveFileName(const QString &path)
{
    g_nextSaveName = path;
}

void connectButtons(QWidget *window, const OutputButtons &buttons, const QString &fileStem,
                    QPageLayout::Orientation orientation, std::function<std::unique_ptr<PageSource>()> pages,
                    std::function<ReportSheet()> sheet, std::function<void()> finished)
{
    const QList<QPushButton *> all{buttons.print, buttons.pdf, buttons.csv, buttons.xlsx};
    const auto run = [window, all, finished](OutputJob *job) {
        if (!job)
            return;
        for (QPushButton *b : all)
            b->setEnabled(false);
        QObject::connect(job, &OutputJob::finished, window, [all, finished] {
            for (QPushButton *b : all)
                b->setEnabled(true);
            finished();
        });
    };
    const QString pdfName = fileStem + QStringLiteral(".pdf");
    QObject::connect(buttons.print, &QPushButton::clicked, window,
                     [=] { run(print(window, pages(), orientation, pdfName)); });
    QObject::connect(buttons.pdf, &QPushButton::clicked, window,
                     [=] { run(savePdf(window, pages(), pdfName, orientation)); });
    QObject::connect(buttons.csv, &QPushButton::clicked, window, [=] {
        run(saveSheet(window, sheet(), fileStem + QStringLiteral(".csv"), SheetFormat::Csv));
    });
    QObject::connect(buttons.xlsx, &QPushButton::clicked, window, [=] {
        run(saveSheet(window, sheet(), fileStem + QStringLiteral(".xlsx"), SheetFormat::Xlsx));
    });
}

} // namespace ReportOutput
