#pragma once

#include "common/result.h"

#include <QStringList>

class Database;

namespace schema {

// The eleven tables in their opening order.
QStringList tableNames();

// Creates every table and index of a new file, with one settings row of defaults.
bool create(Database &db);

// Whether an open file is a store of this program: not newer than it, with all eleven
// tables.
Result<> check(Database &db);

// Upgrades an older file step by step to the current version; false when the file is
// newer than this program or lacks one of the tables.
bool upgrade(Database &db, QString *error);

} // namespace schema
