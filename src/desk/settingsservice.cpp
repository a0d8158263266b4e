#include "settingsservice.h"

#include "audit/describe.h"
#include "billing/sessionstart.h"
#include "common/commandpath.h"
#include "store/database.h"
#include "store/settingstable.h"

SettingsService::SettingsService(Database &db, CommandPath &commands, ServiceOperator at)
    : m_db(db), m_commands(commands), m_at(std::move(at))
{
}

Result<std::optional<Settings>> SettingsService::settings() const
{
    if (const Result<> ok = m_at.allow(Command::Settings); !ok)
        return failure(ok.error());
    return SettingsTable(m_db).read();
}

Result<> SettingsService::saveSettings(const Settings &s)
{
    if (const Result<> ok = m_at.allow(Command::Settings); !ok)
        return ok;
    SettingsTable table(m_db);
    const std::optional<Settings> before = table.read();
    return m_commands.run(
        {QStringLiteral("系统设置"), 0},
        [&]() -> Result<> {
            if (!table.save(s))
                return failure(m_db.lastError());
            return {};
        },
        [&] { return audit::describe(before, s); });
}

Result<> SettingsService::recordWebSettings(const QString &details)
{
    if (const Result<> ok = m_at.allow(Command::Settings); !ok)
        return ok;
    return m_commands.run({QStringLiteral("网页查看设置"), 0, [details] { return details; }},
                          [] { return Result<>(); });
}

std::optional<QString> SettingsService::overnightRefusal() const
{
    return SessionStart::overnightRefusal(m_db);
}

std::optional<DisplaySettings> SettingsService::display() const
{
    return display::load(m_db, m_at.name());
}

// The list's look is the operator's own and not in the trail: the command path only keeps
// its writes from crossing a backup or a lost store.
Result<> SettingsService::restoreDisplayDefaults()
{
    return m_commands.run({}, [&] { return display::restoreDefaults(m_db, m_at.name()); });
}

Result<> SettingsService::storeFont(const DisplaySettings &font)
{
    return m_commands.run({}, [&] { return display::storeFont(m_db, m_at.name(), font); });
}

Result<> SettingsService::storeBackground(const QString &path)
{
    return m_commands.run({}, [&] { return display::storeBackground(m_db, m_at.name(), path); });
}

Result<> SettingsService::storeBackgroundColor(qint64 color)
{
    return m_commands.run({}, [&] { return display::storeBackgroundColor(m_db, m_at.name(), color); });
}
