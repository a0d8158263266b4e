#pragma once

#include "settingsrow.h"

class Database;

// xtsz: a single row, read fresh by every reader.
class SettingsTable final
{
public:
    explicit SettingsTable(Database &db) : m_db(db) {}

    // Empty when the table holds no row.
    std::optional<Settings> read();
    // Writes the first row, adding it when the table is empty.
    bool save(const Settings &settings);

private:
    Database &m_db;
};
