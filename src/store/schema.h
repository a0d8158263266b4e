#pragma once

#include <QStringList>

class Database;

namespace schema {

// The eleven tables in their opening order.
QStringList tableNames();

// Creates every table and index of a new file, with one settings row of defaults.
bool create(Database &db);

// Upgrades an older file step by step to the current version; false when the file is
// newer than this program or lacks one of the tables.
bool upgrade(Database &db, QString *error);

} // namespace schema
