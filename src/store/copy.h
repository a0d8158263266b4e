#pragma once

#include "common/result.h"

class Database;

// Moving a café's rows from one open store to another, whatever engine each one runs on: the
// backup of a server store into a file, a restore onto a server, and the move between the
// file and a server.
namespace storecopy {

// Whether `db` holds anything a copy onto it would throw away: a row in any table but the
// settings, whose single row every store has from its start, and the tables shared by a chain.
Result<bool> holdsData(Database &db);

// Replaces the rows of every table of `to` by those of `from`, all in one transaction on `to`
// with its tables locked against other writers. A branch of a chain keeps the tables it shares
// with the other branches (schema::sharedTables) as they are. Rows keep their row order keys, so table
// order and the positions of rows stay as they were. `from` is read in one snapshot and must
// have no transaction open. Both must be stores of the same version. Returns the number of
// rows copied; on failure `to` is as it was.
Result<qint64> copyTables(Database &from, Database &to);

} // namespace storecopy
