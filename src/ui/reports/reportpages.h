#pragma once

#include "reports/machinetimereport.h"
#include "reports/reporttext.h"

#include <QList>
#include <QTextCharFormat>
#include <QTextLayout>
#include <memory>

class QPainter;

// A paragraph of styled report text, ready for a QTextLayout: its text with the formats of
// its pieces (letter spacing included, so columns of blanks line up).
struct StyledParagraph
{
    QString text;
    QList<QTextLayout::FormatRange> formats;
    Qt::Alignment alignment = Qt::AlignLeft;
    QTextCharFormat blockFormat; // what an empty paragraph is as high as
};

// The report font: blanks line the columns up only where a Chinese character is exactly two
// Latin ones wide.
QStringList reportFontFamilies();
class ColumnSpacing;

// Reads the paragraphs styled text writes, one at a time, so that a long report is never
// worked through whole at once. The first continues whatever came before.
class StyledParagraphs final
{
public:
    explicit StyledParagraphs(const StyledText &text);
    ~StyledParagraphs();
    bool atEnd() const { return m_finished; }
    StyledParagraph next();
    // How much is read, 0 to 100.
    int percent() const;

private:
    const QTextCharFormat &formatOf(qsizetype run);

    StyledText m_text;
    std::unique_ptr<ColumnSpacing> m_spacing;
    qsizetype m_run = 0;
    qsizetype m_at = 0; // in the text of m_run
    bool m_finished = false;
    QTextCharFormat m_blockFormat;
    qsizetype m_formatRun = -1;
    QTextCharFormat m_format; // of m_formatRun
    qsizetype m_total = 0;
    qsizetype m_done = 0;
};

// What a print run paints, a page at a time, so that a long report is printed in slices
// between which the event loop runs.
class PageSource
{
public:
    virtual ~PageSource() = default;
    // Once, before the first page; `page` is the printable area in the painter's coordinates.
    virtual void begin(QPainter &painter, const QRectF &page) = 0;
    // Paints the next page; false when that was the last one.
    virtual bool paintPage(QPainter &painter) = 0;
    // How much is painted, 0 to 100.
    virtual int percent() const = 0;
};

// The machine-time report as a table: title and summary on the first page, the heading row
// on every page, the foot lines and the trail's anchor under the last row, page numbers at the
// foot.
class TablePages final : public PageSource
{
public:
    TablePages(MachineTimeReport report, const QDate &today, const QString &anchor,
               const QStringList &foot = {});
    void begin(QPainter &painter, const QRectF &page) override;
    bool paintPage(QPainter &painter) override;
    int percent() const override;

private:
    void paintRow(QPainter &painter, qreal y, const QStringList &texts, bool heading) const;

    MachineTimeReport m_report;
    QString m_summary;
    QString m_anchor;
    QStringList m_foot;
    QRectF m_page;
    QFont m_body, m_bold, m_title;
    QList<qreal> m_columnX; // left edge of each column, then the right edge of the last
    qreal m_rowHeight = 0;
    int m_firstPageRows = 0;
    int m_pageRows = 0;
    int m_pages = 0;
    int m_pageNumber = 0;
    qsizetype m_next = 0; // first row not painted yet
};

// Styled text laid out at `layoutWidth` pixels (where it wraps on the screen) and scaled to
// the paper, lines kept whole across page breaks, the trail's anchor under it.
class TextPages final : public PageSource
{
public:
    TextPages(const StyledText &text, qreal layoutWidth, const QString &anchor);
    ~TextPages() override;
    void begin(QPainter &painter, const QRectF &page) override;
    bool paintPage(QPainter &painter) override;
    int percent() const override;

private:
    void layOut(const StyledParagraph &paragraph);

    StyledText m_text;
    std::unique_ptr<StyledParagraphs> m_paragraphs;
    QRectF m_page;
    qreal m_width;
    qreal m_scale = 1;
    qreal m_pageHeight = 0;
    int m_line = 0;                        // first line of m_layout not painted yet
    std::unique_ptr<QTextLayout> m_layout; // of the paragraph being painted
};
