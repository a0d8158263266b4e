#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// A piece of report text with the character format it is written in. Centring applies to
// the paragraphs the piece writes into.
struct TextRun
{
    QString text; // "\n" starts a new paragraph
    int pointSize = 9;
    bool bold = false;
    bool italic = false;
    bool centred = false;

    bool operator==(const TextRun &) const = default;
};
using StyledText = QList<TextRun>;

// The plain text of styled text.
QString plainText(const StyledText &text);

// Money is summed in whole cents, so sums carry no binary error.
qint64 toCents(double yuan);
// "###0.00元" and "###0.0元" of a sum of cents; halves round away from zero.
QString centsTwoDecimals(qint64 cents);
QString centsOneDecimal(qint64 cents);

// `text` with blanks after it up to `columns` code page 936 columns (a Chinese character
// takes two); a longer text stays as it is.
QString padColumns(const QString &text, int columns);
// `text` with blanks before it up to `width` characters; a longer text stays as it is.
QString alignRight(const QString &text, int width);
// `text` with blanks after it up to `width` characters.
QString alignLeft(const QString &text, int width);

// The wall-clock minute of a stored "yyyy-MM-dd HH:mm:ss" (minutes since a fixed day);
// empty when the text is no such moment. Cheap enough for a million rows.
std::optional<qint64> storedMinute(QStringView stored);

// The thin and thick rules under the heading and the lines.
QString thinRule();
QString thickRule();
