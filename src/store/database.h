#pragma once

#include "engine.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <unordered_map>

struct sqlite3;

class FileEngine;
class ServerLink;
class Statement;

// One open store: the keyed SQLCipher file, or a schema on a PostgreSQL server. The store's
// SQL is the file's dialect; the server engine translates it. Operations return false on
// failure and leave the reason in lastError().
class Database final
{
public:
    Database();
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens `path` with `key`. With `create` a missing file is created; without it a
    // missing file is an error. A file that does not open with the key is an error too.
    bool open(const QString &path, const QByteArray &key, bool create);
    // Connects to a server with a libpq connection string; one without a password gets
    // `key` as its password. The tables live in the first schema of the search path. Without
    // `hearOthers` other connections' changes and messages are not heard of (a reader that
    // never waits on them): changeStamp() cannot tell them, and serverLink() has none to take.
    bool openServer(const QString &connection, const QByteArray &key, bool hearOthers = true);
    void close();
    bool isOpen() const { return m_engine != nullptr; }
    // What sets the engines apart (see Engine); false while closed.
    bool hasOwnFile() const;
    bool sharedByCounters() const;
    // Whether the tables are on a server, for the store's own SQL where the two dialects part
    // (catalogue, schemas, row keys). Everyone else asks one of the questions above.
    bool isServer() const { return m_link != nullptr; }

    bool exec(const QString &sql);
    Statement prepare(const QString &sql);
    // A prepared statement kept for reuse; it is reset when the lease goes out of scope, so
    // a half-read result holds no lock. Do not ask for the same text again while leased.
    class Lease;
    Lease cached(const QString &sql);

    QString lastError() const { return m_error; }
    // Whether the last failure was a conflict with another writer on a server (serialization
    // failure, deadlock): running the whole transaction again goes through.
    bool lastFailureRetryable() const;

    // The row order key (rowid on the file) of the row this connection added last.
    qint64 lastInsertId();

    // Equal stamps mean the store has not changed in between: same connection, no rows
    // changed by it and no commit of another connection. `others` is -1 when the engine
    // cannot tell, and then nothing read earlier can be trusted.
    struct ChangeStamp
    {
        const void *connection = nullptr;
        qint64 own = -1;
        qint64 others = -1;
    };
    ChangeStamp changeStamp();

    // Locks for several writers, taken inside a transaction and held until it ends; on the
    // file, the only writer, they do nothing. Take them in one fixed order: yxsjb, cjkgl,
    // spkcb, khglb, sjlszb (held the shortest, to number journal rows), splsjlb.
    // The whole table against other writers; readers go on. On a server it is taken with the
    // next statement sent, and a failure to take it fails that statement.
    bool lockTable(const QString &table);
    // The rows `rowids` of `table` against other writers, in row order. A read after it sees
    // what other connections committed before.
    bool lockRows(const QString &table, QList<qint64> rowids);

    // What only a server has: other counters' changes and messages, the connection's liveness,
    // connecting again and the fate of a commit cut off; for the desk's server watch. Null on
    // the file and while closed; another one after the store was opened again.
    ServerLink *serverLink() const { return m_link; }
    // Whether the server connection has gone; every command fails until it is connected again.
    // Never on the file.
    bool connectionLost() const;
    // Round trips to the server so far, for measuring; 0 on the file.
    qint64 roundTrips() const;

    // The schema's version (0 when none was set) and the tables present.
    int schemaVersion();
    bool setSchemaVersion(int version);
    QStringList tableNames();

    // The file's sqlite3 connection, for tests that hook into it; null on a server.
    sqlite3 *handle() const;

    // Test hooks: every write after `statements` more successful writes fails; every commit of
    // an outermost transaction after `commits` more successful ones fails (the transaction is
    // then rolled back whole, as when the disk refuses it). -1 disables.
    void failWritesAfter(int statements) { m_failAfter = statements; }
    void failCommitsAfter(int commits) { m_failCommitsAfter = commits; }

    // Whether a transaction is open on this connection.
    bool inTransaction() const { return m_depth > 0; }

private:
    friend class Statement;
    friend class Transaction;
    bool writeAllowed();
    bool check(bool ok);

    std::unique_ptr<Engine> m_engine;
    // The engine as what it is beyond Engine: at most one of them is set.
    FileEngine *m_file = nullptr;
    ServerLink *m_link = nullptr;
    QString m_error;
    std::unordered_map<QString, std::unique_ptr<Statement>> m_cache;
    int m_failAfter = -1;
    int m_failCommitsAfter = -1;
    int m_depth = 0; // transactions open, the outermost counted too
};

// A prepared statement. Values bind by position (1-based) and read by column (0-based).
// Bound and read values: QString (text), double, qint64/int, QDateTime (stored text),
// null QVariant (NULL).
class Statement final
{
public:
    Statement();
    Statement(Database *db, std::unique_ptr<EngineStatement> stmt);
    ~Statement();
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_stmt != nullptr; }

    Statement &bind(int index, const QVariant &value);
    Statement &bindAll(const QVariantList &values);

    // Advances to the next row; false at the end or on error (see Database::lastError).
    bool next();
    // Runs a statement that returns no rows to completion.
    bool run();
    // The rows the last run inserted, changed or deleted.
    qint64 changedRows() const;
    void reset();

    int columnCount() const;
    bool isNull(int column) const;
    QString text(int column) const;
    double real(int column) const;
    qint64 integer(int column) const;
    QDateTime dateTime(int column) const;

private:
    Database *m_db = nullptr;
    std::unique_ptr<EngineStatement> m_stmt;
    bool m_failed = false;
};

class Database::Lease final
{
public:
    explicit Lease(Statement &s) : m_s(s) {}
    ~Lease() { m_s.reset(); }
    Lease(const Lease &) = delete;
    Lease &operator=(const Lease &) = delete;
    Statement *operator->() const { return &m_s; }
    Statement &operator*() const { return m_s; }

private:
    Statement &m_s;
};

// Everything between construction and commit() is written all together or not at all.
// Transactions nest: an inner one commits into the outer one. The outermost one that does not
// commit (or whose commit fails) is rolled back whole, so the connection never stays inside a
// transaction that holds locks.
class Transaction final
{
public:
    explicit Transaction(Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool commit();

private:
    Database &m_db;
    QString m_name;
    bool m_active = false;
    bool m_outermost = false;
};
