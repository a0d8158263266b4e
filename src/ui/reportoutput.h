#pragma once

#include "common/result.h"
#include "reports/reporttext.h"

#include <QList>
#include <QPageLayout>
#include <QString>
#include <QStringList>

class QPrinter;
class QTextDocument;
class QWidget;

// Printing and saving of the reports, behind one place that tests can answer in advance
// (the print dialog and the save-file dialog cannot be driven headless).
namespace ReportOutput {

// The font the reports are written in: blanks line the columns up only where a Chinese
// character is exactly two Latin ones wide.
QStringList fontFamilies();

// Appends styled text at the end of `doc`.
void writeStyledText(QTextDocument &doc, const StyledText &text);

// Prints `doc` whole on `printer`. With a `layoutWidth` (pixels) the lines break where they
// break on the screen at that width, and the page is scaled to the paper. An `anchor` (the
// operator trail's newest hash) is printed under the text as "校验码：…", so a trail written
// anew afterwards no longer matches what is on paper.
Result<> printDocument(const QTextDocument &doc, QPrinter &printer, qreal layoutWidth = 0,
                       const QString &anchor = {});

// The width at which a report's text wraps: a right margin of 10600 twips in the café's
// report font, widened to hold as many columns in the font installed here.
qreal reportWrapWidth();

// The print command: the system's print dialog, then the document; a failure is told as
// "发现错误：" + reason, titled "错误".
void print(QWidget *parent, const QTextDocument &doc,
           QPageLayout::Orientation orientation = QPageLayout::Portrait, qreal layoutWidth = 0,
           const QString &anchor = {});
// Asks for a file name and writes the document there as PDF.
void savePdf(QWidget *parent, const QTextDocument &doc, const QString &suggestedName,
             QPageLayout::Orientation orientation = QPageLayout::Portrait, qreal layoutWidth = 0,
             const QString &anchor = {});
// Asks for a file name and writes the rows there as CSV.
void saveCsv(QWidget *parent, const QList<QStringList> &rows, const QString &suggestedName);

// Test hooks: the next print goes to this PDF file without a dialog; the next save-file
// dialog answers this name (an empty name cancels).
void setNextPrintFile(const QString &pdfPath);
void setNextSaveFileName(const QString &path);

} // namespace ReportOutput
