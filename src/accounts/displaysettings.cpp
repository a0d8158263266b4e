#include "displaysettings.h"

#include "accountslog.h"
#include "store/accounttables.h"
#include "store/database.h"

namespace display {

namespace {

Result<> written(Database &db, bool ok, const QString &name)
{
    if (ok)
        return {};
    // A missing operator row only skips the saving; the store's own failures are logged too.
    if (!OperatorTable(db).byName(name))
        return failure(QStringLiteral("没有该用户的记录，显示设置未保存。"));
    qCWarning(lcAccounts) << "display settings not stored:" << db.lastError();
    return failure(db.lastError());
}

} // namespace

std::optional<Rgb> rgb(qint64 color)
{
    if (isSystemColor(color))
        return std::nullopt;
    return Rgb{int(color & 0xff), int((color >> 8) & 0xff), int((color >> 16) & 0xff)};
}

qint64 colorNumber(int red, int green, int blue)
{
    return qint64(red & 0xff) + 256 * qint64(green & 0xff) + 65536 * qint64(blue & 0xff);
}

bool isSystemColor(qint64 color)
{
    return (color & 0x80000000) != 0;
}

DisplaySettings readable(DisplaySettings settings)
{
    if (settings.textColor == settings.backgroundColor) {
        settings.backgroundColor = DisplaySettings::kSystemWindowColor;
        settings.textColor = 0;
    }
    return settings;
}

std::optional<DisplaySettings> load(Database &db, const QString &name)
{
    const std::optional<Operator> op = OperatorTable(db).byName(name);
    if (!op)
        return std::nullopt;
    DisplaySettings s;
    s.fontName = op->fontName;
    s.fontSize = op->fontSize;
    s.textColor = op->textColor;
    s.bold = op->bold;
    s.italic = op->italic;
    s.background = op->background;
    s.backgroundColor = op->backgroundColor;
    return readable(s);
}

Result<> restoreDefaults(Database &db, const QString &name)
{
    const DisplaySettings d;
    Transaction t(db);
    OperatorDisplayTable table(db);
    const bool ok = table.setFont(name, d.fontName, d.fontSize, d.textColor, d.bold, d.italic) &&
                    table.setBackground(name, d.background) &&
                    table.setBackgroundColor(name, d.backgroundColor) && t.commit();
    return written(db, ok, name);
}

Result<> storeFont(Database &db, const QString &name, const DisplaySettings &font)
{
    return written(db,
                   OperatorDisplayTable(db).setFont(name, font.fontName, font.fontSize, font.textColor,
                                                    font.bold, font.italic),
                   name);
}

Result<> storeBackground(Database &db, const QString &name, const QString &path)
{
    return written(db, OperatorDisplayTable(db).setBackground(name, path), name);
}

Result<> storeBackgroundColor(Database &db, const QString &name, qint64 color)
{
    return written(db, OperatorDisplayTable(db).setBackgroundColor(name, color), name);
}

} // namespace display
