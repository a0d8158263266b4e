#pragma once

#include "common/result.h"

#include <QString>
#include <optional>

class Database;

// How an operator's machine list looks: font, text colour, background picture and colour,
// kept in the operator's yhszb row.
struct DisplaySettings
{
    QString fontName = QStringLiteral("宋体");
    double fontSize = 9;
    qint64 textColor = 0; // R + 256·G + 65536·B
    bool bold = false;
    bool italic = false;
    QString background; // path of the background picture; empty for none
    qint64 backgroundColor = kSystemWindowColor;

    // A colour with the high bit set names a system colour by its low byte; this one is the
    // window background.
    static constexpr qint64 kSystemWindowColor = 0x80000005;

    bool operator==(const DisplaySettings &) const = default;
};

namespace display {

// A colour number as red, green and blue (0-255 each); empty for a system colour.
struct Rgb
{
    int red = 0;
    int green = 0;
    int blue = 0;
};
std::optional<Rgb> rgb(qint64 color);
qint64 colorNumber(int red, int green, int blue);
bool isSystemColor(qint64 color);

// Text in the colour of its background cannot be read: then black on the system window colour.
DisplaySettings readable(DisplaySettings settings);

// The settings stored for the operator named `name` (the first row of that name), made
// readable; empty when there is no such operator.
std::optional<DisplaySettings> load(Database &db, const QString &name);

// "还原为默认": writes the defaults into the operator's row. Fails when there is no such
// operator (the list still shows the defaults) or the store refuses.
Result<> restoreDefaults(Database &db, const QString &name);

// The font dialog's choice, the background picture and the background colour, each written
// into the operator's row alone. Fail when there is no such operator or the store refuses.
Result<> storeFont(Database &db, const QString &name, const DisplaySettings &font);
Result<> storeBackground(Database &db, const QString &name, const QString &path);
Result<> storeBackgroundColor(Database &db, const QString &name, qint64 color);

} // namespace display
