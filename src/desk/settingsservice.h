#pragma once

#include "accounts/displaysettings.h"
#include "common/result.h"
#include "serviceoperator.h"
#include "store/settingsrow.h"

#include <optional>

class CommandPath;
class Database;

// The café's settings (系统设置), which the right of the operator at the desk now withholds at
// every call, and what anyone may read or keep of their own: the overnight rule at a start and
// the look of the machine list.
class SettingsService final
{
public:
    SettingsService(Database &db, CommandPath &commands, ServiceOperator at);

    // The stored row; empty inside when there is none yet.
    Result<std::optional<Settings>> settings() const;
    Result<> saveSettings(const Settings &settings);
    // Whether the operator at the desk now may change the settings (the web console's file
    // is written before its trail entry).
    Result<> mayChange() const { return m_at.allow(Command::Settings); }
    // The web console's switch and port live in a file beside the program: this only puts the
    // change into the trail.
    Result<> recordWebSettings(const QString &details);

    // Why an overnight session cannot start now; empty when it can.
    std::optional<QString> overnightRefusal() const;

    // The machine list's look, kept per operator (the one at the desk now); empty when there
    // is no such operator.
    std::optional<DisplaySettings> display() const;
    Result<> restoreDisplayDefaults();
    Result<> storeFont(const DisplaySettings &font);
    Result<> storeBackground(const QString &path);
    Result<> storeBackgroundColor(qint64 color);

private:
    Database &m_db;
    CommandPath &m_commands;
    ServiceOperator m_at;
};
