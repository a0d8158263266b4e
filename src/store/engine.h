#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

// What Database, Statement and Transaction need of a relational engine. The store's SQL is
// written for the file engine; an engine that speaks another dialect translates it itself.
// What only a server has (other counters, the network) is its ServerLink, not here.
//
// Values reach an engine already reduced to four kinds: a null QVariant, qint64, double and
// QString (dates as their stored text).
class EngineStatement
{
public:
    enum class Step { Row, Done, Error };

    virtual ~EngineStatement() = default;

    // Values bind by position, 1-based. False when the engine refuses the value.
    virtual bool bind(int index, const QVariant &value) = 0;
    virtual Step step() = 0;
    // Back to before the first step, with no values bound.
    virtual void reset() = 0;
    // Whether running the statement can change nothing.
    virtual bool readOnly() const = 0;
    // The rows its last run inserted, changed or deleted.
    virtual qint64 changedRows() const = 0;

    virtual int columnCount() const = 0;
    virtual bool isNull(int column) const = 0;
    virtual QString text(int column) const = 0;
    virtual double real(int column) const = 0;
    virtual qint64 integer(int column) const = 0;
};

class Engine
{
public:
    virtual ~Engine() = default;

    // What sets the engines apart, for those who must act differently on them.
    // A file of this PC's own (the store's path): it is copied whole to back it up, kept
    // private to the program's user and watched for being deleted or replaced, and the trail is
    // a file beside it.
    virtual bool hasOwnFile() const = 0;
    // Several counters work on it at once: each claims a name of its own, locks what it writes
    // against the others, and names itself in the trail it shares with them.
    virtual bool sharedByCounters() const = 0;

    // The reason of the last failure, in words the operator can be shown.
    virtual QString lastError() const = 0;
    // Whether the last failure was a conflict with another writer (a serialization failure or
    // a deadlock), which goes through when the whole transaction is run again.
    virtual bool lastFailureRetryable() const { return false; }

    virtual bool exec(const QString &sql) = 0;
    // A statement of the store's SQL; null when it does not prepare (see lastError).
    virtual std::unique_ptr<EngineStatement> prepare(const QString &sql, bool keep) = 0;

    // Transactions nest; `name` is unique among those open.
    virtual bool begin(const QString &name) = 0;
    virtual bool commit(const QString &name) = 0;
    virtual void rollback(const QString &name) = 0;
    // The whole table against other writers until the transaction ends (see Database). A
    // failure to take it may show only at the next statement, which then fails with it.
    virtual bool lockTable(const QString &table) = 0;

    // The row order key of the row added last on this connection.
    virtual qint64 lastInsertId() = 0;
    // Rows changed by this connection so far, and a number that moves whenever another
    // connection commits (-1 when the engine cannot tell).
    virtual qint64 ownChanges() = 0;
    virtual qint64 otherChanges() = 0;

    // The schema: its version and the tables it holds.
    virtual int schemaVersion() = 0;
    virtual bool setSchemaVersion(int version) = 0;
    virtual QStringList tableNames() = 0;

    // Whether the store can no longer be reached: then every command fails until it is
    // connected again. A file, on this PC, is never lost.
    virtual bool connectionLost() const = 0;
};
