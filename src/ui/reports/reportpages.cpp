#include "reportpages.h"

#include "common/cp936.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QTextOption>
#include <cmath>
#include <numeric>
#include <optional>

// The letter spacing, in percent, that sets a character in exactly as many half widths of a
// Chinese character as it takes bytes in code page 936: the report lines are lined up by
// those columns, and no installed font draws its Latin letters (or its rules) at exactly half
// the width of its Chinese characters.
class ColumnSpacing final
{
public:
    ColumnSpacing()
    {
        QFont font;
        font.setFamilies(reportFontFamilies());
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

namespace {

QTextCharFormat runFormat(const TextRun &run)
{
    QTextCharFormat format;
    format.setFontFamilies(reportFontFamilies());
    format.setFontPointSize(run.pointSize);
    format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(run.italic);
    // Unhinted, so every size keeps the widths the columns are measured in.
    format.setFontHintingPreference(QFont::PreferNoHinting);
    return format;
}

// Leaves room for the text between the page's edge and the first line, as a document does.
constexpr qreal kTextMargin = 4;

} // namespace

QStringList reportFontFamilies()
{
    return {QStringLiteral("WenQuanYi Micro Hei Mono"), QStringLiteral("宋体")};
}

StyledParagraphs::StyledParagraphs(const StyledText &text)
    : m_text(text), m_spacing(std::make_unique<ColumnSpacing>())
{
    for (const TextRun &run : text)
        m_total += run.text.size();
}

StyledParagraphs::~StyledParagraphs() = default;

const QTextCharFormat &StyledParagraphs::formatOf(qsizetype run)
{
    if (run != m_formatRun) {
        m_format = runFormat(m_text.at(run));
        m_formatRun = run;
    }
    return m_format;
}

StyledParagraph StyledParagraphs::next()
{
    StyledParagraph p;
    p.blockFormat = m_blockFormat;
    ColumnSpacing &spacing = *m_spacing;
    for (; m_run < m_text.size(); ++m_run, m_at = 0) {
        const QString &text = m_text.at(m_run).text;
        const qsizetype lineEnd = text.indexOf(u'\n', m_at);
        const qsizetype end = lineEnd < 0 ? text.size() : lineEnd;
        if (end > m_at) {
            const QTextCharFormat &format = formatOf(m_run);
            p.alignment = m_text.at(m_run).centred ? Qt::AlignHCenter : Qt::AlignLeft;
            for (qsizetype from = m_at; from < end;) {
                const qreal percent = spacing(text.at(from));
                qsizetype to = from + 1;
                while (to < end && spacing(text.at(to)) == percent)
                    ++to;
                QTextCharFormat spaced = format;
                if (percent != 100) {
                    spaced.setFontLetterSpacingType(QFont::PercentageSpacing);
                    spaced.setFontLetterSpacing(percent);
                }
                p.formats.append({int(p.text.size()), int(to - from), spaced});
                p.text += QStringView(text).mid(from, to - from);
                from = to;
            }
        }
        m_done += end - m_at;
        if (lineEnd >= 0) {
            // The next paragraph is as high as the text that began it.
            m_blockFormat = formatOf(m_run);
            m_at = lineEnd + 1;
            ++m_done;
            return p;
        }
    }
    m_finished = true;
    return p;
}

int StyledParagraphs::percent() const
{
    return m_total > 0 ? int(m_done * 100 / m_total) : 100;
}

TablePages::TablePages(MachineTimeReport report, const QDate &today, const QString &anchor,
                       const QStringList &foot)
    : m_report(std::move(report)), m_summary(m_report.summary(today)), m_anchor(anchor), m_foot(foot)
{
}

void TablePages::begin(QPainter &painter, const QRectF &page)
{
    m_page = page;
    QFont base;
    base.setFamilies(reportFontFamilies());
    base.setHintingPreference(QFont::PreferNoHinting);
    m_body = QFont(base, painter.device());
    m_body.setPointSize(9);
    m_bold = m_body;
    m_bold.setBold(true);
    m_title = m_bold;
    m_title.setPointSize(12);
    const QFontMetricsF metrics(m_body, painter.device());
    m_rowHeight = std::ceil(metrics.height() * 1.4);

    // The list's widths, shared out over the page.
    static const int kTwips[] = {600, 800, 1600, 1600, 1000, 1000, 1000, 800, 800, 1000, 800, 1600};
    const int total = std::accumulate(std::begin(kTwips), std::end(kTwips), 0);
    m_columnX = {page.left()};
    for (int twips : kTwips)
        m_columnX.append(m_columnX.last() + page.width() * twips / total);

    // Heading row and foot on every page; title, summary and a gap on the first; the foot
    // lines and the anchor line are kept free on every page, as any may be the last.
    const qreal free = page.height() - (4 + m_foot.size()) * m_rowHeight;
    m_pageRows = std::max(1, int(free / m_rowHeight));
    m_firstPageRows = std::max(1, m_pageRows - 3);
    const qsizetype rows = m_report.rows().size();
    m_pages = 1 + int(rows > m_firstPageRows ? (rows - m_firstPageRows + m_pageRows - 1) / m_pageRows : 0);
    m_pageNumber = 0;
    m_next = 0;
}

void TablePages::paintRow(QPainter &painter, qreal y, const QStringList &texts, bool heading) const
{
    painter.setFont(heading ? m_bold : m_body);
    const qreal pad = m_rowHeight / 5;
    for (int c = 0; c < MachineTimeReport::kColumns; ++c) {
        const QRectF cell(m_columnX[c] + pad, y, m_columnX[c + 1] - m_columnX[c] - 2 * pad, m_rowHeight);
        const int align = (!heading && MachineTimeReport::rightAligned(c) ? Qt::AlignRight : Qt::AlignLeft) |
                          Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
        const QString &text = texts.at(c);
        // Free text may be longer than its column; the rest are short by their format.
        if (c >= 8 && !text.isEmpty())
            painter.drawText(cell, align,
                             painter.fontMetrics().elidedText(text, Qt::ElideRight, int(cell.width())));
        else
            painter.drawText(cell, align, text);
    }
    painter.drawLine(QPointF(m_columnX.first(), y + m_rowHeight), QPointF(m_columnX.last(), y + m_rowHeight));
}

bool TablePages::paintPage(QPainter &painter)
{
    ++m_pageNumber;
    // Rules a sixth of a point wide, whatever the printer's resolution.
    painter.setPen(QPen(Qt::black, painter.device()->logicalDpiX() / 432.0));
    const qreal left = m_page.left(), width = m_page.width();
    qreal y = m_page.top();
    if (m_pageNumber == 1) {
        painter.setFont(m_title);
        painter.drawText(QRectF(left, y, width, 1.5 * m_rowHeight), Qt::AlignCenter,
                         QStringLiteral("机时收费表"));
        y += 1.5 * m_rowHeight;
        painter.setFont(m_body);
        painter.drawText(QRectF(left, y, width, m_rowHeight), Qt::AlignLeft | Qt::AlignVCenter, m_summary);
        y += 1.5 * m_rowHeight;
    }
    const qreal top = y;
    painter.drawLine(QPointF(left, y), QPointF(m_columnX.last(), y));
    paintRow(painter, y, MachineTimeReport::headers(), true);
    y += m_rowHeight;
    const QList<JournalRecord> &rows = m_report.rows();
    const qsizetype end = std::min(rows.size(), m_next + (m_pageNumber == 1 ? m_firstPageRows : m_pageRows));
    for (; m_next < end; ++m_next, y += m_rowHeight)
        paintRow(painter, y, MachineTimeReport::rowTexts(rows.at(m_next)), false);
    for (const qreal x : std::as_const(m_columnX))
        painter.drawLine(QPointF(x, top), QPointF(x, y));
    const bool last = m_next >= rows.size();
    painter.setFont(m_body);
    if (last) {
        y += m_rowHeight / 2;
        painter.setFont(m_bold);
        for (const QString &line : std::as_const(m_foot)) {
            painter.drawText(QRectF(left, y, width, m_rowHeight), Qt::AlignLeft | Qt::AlignVCenter, line);
            y += m_rowHeight;
        }
        painter.setFont(m_body);
    }
    if (last && !m_anchor.isEmpty())
        painter.drawText(QRectF(left, y, width, m_rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("校验码：") + m_anchor);
    painter.drawText(QRectF(left, m_page.bottom() - m_rowHeight, width, m_rowHeight), Qt::AlignCenter,
                     QStringLiteral("第%1页，共%2页").arg(m_pageNumber).arg(m_pages));
    return !last;
}

int TablePages::percent() const
{
    const qsizetype rows = m_report.rows().size();
    return rows > 0 ? int(m_next * 100 / rows) : (m_pageNumber > 0 ? 100 : 0);
}

TextPages::TextPages(const StyledText &text, qreal layoutWidth, const QString &anchor)
    : m_text(text), m_width(layoutWidth)
{
    if (!anchor.isEmpty())
        m_text.append({QStringLiteral("\n校验码：") + anchor, 9});
}

TextPages::~TextPages() = default;

void TextPages::begin(QPainter &, const QRectF &page)
{
    m_page = page;
    m_paragraphs = std::make_unique<StyledParagraphs>(m_text);
    m_scale = page.width() / (m_width + 2 * kTextMargin);
    m_pageHeight = page.height() / m_scale;
    m_line = 0;
    m_layout.reset();
}

void TextPages::layOut(const StyledParagraph &p)
{
    m_layout = std::make_unique<QTextLayout>(p.text, p.blockFormat.font());
    m_layout->setFormats(p.formats);
    QTextOption option(p.alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_layout->setTextOption(option);
    m_layout->beginLayout();
    for (qreal y = 0;;) {
        QTextLine line = m_layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(m_width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    m_layout->endLayout();
    m_line = 0;
}

bool TextPages::paintPage(QPainter &painter)
{
    painter.save();
    painter.translate(m_page.topLeft());
    painter.scale(m_scale, m_scale);
    qreal y = kTextMargin;
    bool painted = false;
    while (m_layout || !m_paragraphs->atEnd()) {
        if (!m_layout)
            layOut(m_paragraphs->next());
        for (; m_line < m_layout->lineCount(); ++m_line) {
            const QTextLine line = m_layout->lineAt(m_line);
            // A line is never cut by the foot of a page, however long.
            if (painted && y + line.height() > m_pageHeight - kTextMargin) {
                painter.restore();
                return true;
            }
            line.draw(&painter, QPointF(kTextMargin, y - line.y()));
            y += line.height();
            painted = true;
        }
        m_layout.reset();
    }
    painter.restore();
    return false;
}

int TextPages::percent() const
{
    return m_paragraphs ? m_paragraphs->percent() : 0;
}
