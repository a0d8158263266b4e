#pragma once

#include "database.h"

#include <QString>

// The database file dbase.mdb: opened (or created with its eleven tables) at start-up and
// held open until the program ends.
class Store final
{
public:
    static QByteArray key();
    static QString fileName() { return QStringLiteral("dbase.mdb"); }

    // Opens the file at `path`, creating it when it does not exist. An existing file that
    // cannot be opened is left untouched; `error` then says why.
    bool open(const QString &path, QString *error);
    void close() { m_db.close(); }

    Database &db() { return m_db; }
    QString path() const { return m_path; }
    // Whether the last open() found no file and created a new, empty one.
    bool created() const { return m_created; }

private:
    Database m_db;
    QString m_path;
    bool m_created = false;
};
