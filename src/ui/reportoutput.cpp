#include "reportoutput.h"

#include "messages.h"
#include "common/cp936.h"
#include "reports/csv.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>
#include <memory>
#include <optional>

namespace {

std::optional<QString> g_nextPrintFile;
std::optional<QString> g_nextSaveName;

QString askSaveName(QWidget *parent, const QString &title, const QString &suggested, const QString &filter)
{
    if (g_nextSaveName) {
        const QString name = *g_nextSaveName;
        g_nextSaveName.reset();
        return name;
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileDialog::getSaveFileName(parent, title, QDir(folder).filePath(suggested), filter);
}

void tellFailure(QWidget *parent, const QString &reason)
{
    Messages::tell(parent, QStringLiteral("错误"), QStringLiteral("发现错误：") + reason, QMessageBox::Critical);
}

// The letter spacing, in percent, that sets a character in exactly as many half widths of a
// Chinese character as it takes bytes in code page 936: the report lines are lined up by
// those columns, and no installed font draws its Latin letters (or its rules) at exactly half
// the width of its Chinese characters.
class ColumnSpacing
{
public:
    ColumnSpacing()
    {
        QFont font;
        font.setFamilies(ReportOutput::fontFamilies());
        font.setPointSize(96);
        font.setHintingPreference(QFont::PreferNoHinting);
        m_metrics.emplace(font);
        m_half = m_metrics->horizontalAdvance(QChar(0x4E2D)) / 2; // 中
    }
    qreal operator()(QChar c)
    {
        const auto known = m_spacing.constFind(c.unicode());
        if (known != m_spacing.constEnd())
            return *known;
        const qreal advance = m_metrics->horizontalAdvance(c);
        const qreal wanted = m_half * cp936::byteLength(QString(c));
        const qreal spacing = advance > 0 && wanted > 0 ? std::round(1000 * wanted / advance) / 10 : 100;
        m_spacing.insert(c.unicode(), spacing);
        return spacing;
    }

private:
    std::optional<QFontMetricsF> m_metrics;
    qreal m_half = 0;
    QHash<char16_t, qreal> m_spacing;
};

} // namespace

namespace ReportOutput {

QStringList fontFamilies()
{
    return {QStringLiteral("WenQuanYi Micro Hei Mono"), QStringLiteral("宋体")};
}

void writeStyledText(QTextDocument &doc, const StyledText &text)
{
    ColumnSpacing spacing;
    QTextCursor cursor(&doc);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock(); // laid out once, not after every piece
    for (const TextRun &run : text) {
        QTextCharFormat format;
        format.setFontFamilies(fontFamilies());
        format.setFontPointSize(run.pointSize);
        format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(run.italic);
        // Unhinted, so every size keeps the widths the columns are measured in.
        format.setFontHintingPreference(QFont::PreferNoHinting);
        const QStringList paragraphs = run.text.split(u'\n');
        for (qsizetype i = 0; i < paragraphs.size(); ++i) {
            if (i > 0)
                cursor.insertBlock(QTextBlockFormat(), format);
            if (paragraphs.at(i).isEmpty())
                continue;
            QTextBlockFormat block = cursor.blockFormat();
            block.setAlignment(run.centred ? Qt::AlignHCenter : Qt::AlignLeft);
            cursor.setBlockFormat(block);
            const QString &paragraph = paragraphs.at(i);
            for (qsizetype from = 0; from < paragraph.size();) {
                const qreal percent = spacing(paragraph.at(from));
                qsizetype to = from + 1;
                while (to < paragraph.size() && spacing(paragraph.at(to)) == percent)
                    ++to;
                QTextCharFormat piece = format;
                if (percent != 100) {
                    piece.setFontLetterSpacingType(QFont::PercentageSpacing);
                    piece.setFontLetterSpacing(percent);
                }
                cursor.insertText(paragraph.mid(from, to - from), piece);
                from = to;
            }
        }
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

void print(QWidget *parent, const QTextDocument &doc, QPageLayout::Orientation orientation, qreal layoutWidth,
           const QString &anchor)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(orientation);
    if (g_nextPrintFile) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(*g_nextPrintFile);
        g_nextPrintFile.reset();
    } else {
        QPrintDialog dialog(&printer, parent);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    if (const Result<> printed = printDocument(doc, printer, layoutWidth, anchor); !printed)
        tellFailure(parent, printed.error());
}

void savePdf(QWidget *parent, const QTextDocument &doc, const QString &suggestedName,
             QPageLayout::Orientation orientation, qreal layoutWidth, const QString &anchor)
{
    const QString path = askSaveName(parent, QStringLiteral("另存为PDF"), suggestedName,
                                     QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageOrientation(orientation);
    printer.setOutputFileName(path);
    if (const Result<> written = printDocument(doc, printer, layoutWidth, anchor); !written)
        tellFailure(parent, written.error());
}

void saveCsv(QWidget *parent, const QList<QStringList> &rows, const QString &suggestedName)
{
    const QString path = askSaveName(parent, QStringLiteral("导出CSV"), suggestedName,
                                     QStringLiteral("CSV 文件 (*.csv)"));
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

} // namespace ReportOutput
