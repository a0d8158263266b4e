#pragma once

#include "common/result.h"

#include <QStringList>

class Database;

namespace schema {

// The tables in their opening order: those of this program's version, or of a store of an
// older `version`.
QStringList tableNames();
QStringList tableNames(int version);

// Creates every table and index of a new file, with one settings row of defaults. On a server
// whose search path names several schemas (a branch of a chain: its own schema, then the
// chain's), the customers and the cards go into the last one unless another branch has made
// them there already; the other tables into the first.
bool create(Database &db);

// Whether the store has none of its own tables yet and needs create(): a new file or schema,
// or a new branch of a chain whose shared tables exist already.
bool fresh(Database &db);

// The tables the store shares with other branches of a chain: those that live in a schema
// other than the first of the search path. None on the file or a single café's server.
QStringList sharedTables(Database &db);

// The branches of the chain this store belongs to: the schemas (its own among them) whose
// journal names the chain's schema as theirs. None on the file or a single café's server;
// only branches whose schema names need no quoting are listed.
struct Chain
{
    QString own;
    QString shared;
    QStringList branches;
};
Chain chain(Database &db);

// `connection` (this branch's connection string) turned to reading `branch` of `chain`.
QString branchConnection(const QString &connection, const Chain &chain, const QString &branch);

// Whether an open file is a store of this program: not newer than it, with all the tables of
// its version.
Result<> check(Database &db);

// Upgrades an older file step by step to the current version; false when the file is
// newer than this program or lacks one of the tables.
bool upgrade(Database &db, QString *error);

} // namespace schema
