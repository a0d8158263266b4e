#pragma once

#include "database.h"

#include <QString>

// The database file dbase.mdb: opened (or created with its tables) at start-up and
// held open until the program ends. A file dbase.pg beside it, holding a libpq connection
// string, puts the tables on a PostgreSQL server instead; dbase.mdb is then not used.
class Store final
{
public:
    static QByteArray key();
    static QString fileName() { return QStringLiteral("dbase.mdb"); }
    static QString serverFileName() { return QStringLiteral("dbase.pg"); }

    // Opens the file at `path`, creating it when it does not exist. An existing file that
    // cannot be opened is left untouched; `error` then says why. With dbase.pg beside `path`
    // it connects to that server and creates the tables there when the schema has none.
    bool open(const QString &path, QString *error);
    // What sets the engines apart (see Engine), as of the last open(): also while closed, as
    // after a restore whose file did not open, which is still to be restored by file.
    bool hasOwnFile() const { return !m_onServer; }
    bool sharedByCounters() const { return m_onServer; }
    void close() { m_db.close(); }

    Database &db() { return m_db; }
    QString path() const { return m_path; }
    // The server's connection string as dbase.pg gives it; empty on the file.
    QString connection() const { return m_connection; }
    // Whether the last open() found no file and created a new, empty one.
    bool created() const { return m_created; }

private:
    bool openServer(const QString &settings, QString *error);
    // Creates the tables of a fresh store (`cannotCreate` with %1 tells why it failed), or
    // brings an older store up to date; the store is closed when that fails.
    bool prepareTables(bool fresh, const QString &cannotCreate, QString *error);

    Database m_db;
    QString m_path;
    QString m_connection;
    bool m_created = false;
    bool m_onServer = false;
};
