#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

// What Database, Statement and Transaction need of a relational engine. The store's SQL is
// written for the file engine; an engine that speaks another dialect translates it itself.
//
// Values reach an engine already reduced to four kinds: a null QVariant, qint64, double and
// QString (dates as their stored text).
// Where connecting again stands: failed, waiting until the socket can be read or written,
// or working again.
enum class ReconnectStep { Failed, WaitRead, WaitWrite, Done };

// What became of a commit whose answer never came: asked of the server once connected again.
enum class CommitFate { Committed, RolledBack, NotYetKnown, Unknowable };

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

    virtual bool isServer() const = 0;
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

    // Other connections' changes as they commit, for a server shared by several counters; the
    // file has no other writer worth watching, so it has none of this.
    // The connection's socket, to watch for them; -1 when there is none.
    virtual int notificationSocket() const { return -1; }
    // Reads what has arrived and returns the tables other connections changed since the last
    // call, each once.
    virtual QStringList takeNotifications() { return {}; }
    // Messages between the counters working on the schema: post() sends one to all the others
    // when the transaction commits (at once outside one; never when it rolls back), and
    // takeMessages() returns those that have arrived, in order. The file has no other counter.
    virtual bool post(const QString &message)
    {
        Q_UNUSED(message);
        return false;
    }
    virtual QStringList takeMessages() { return {}; }
    // Called whenever changes of other connections arrive or the connection is found lost,
    // also in the middle of a command that happened to read them: the socket is then
    // quiet although something is waiting. Must only take note, not run commands.
    virtual void setNotified(std::function<void()> notified) { Q_UNUSED(notified); }
    // Whether the connection to the server has gone; then every command fails.
    virtual bool connectionLost() const { return false; }
    // Asks the server whether it still answers, waiting a few seconds at most; false, and the
    // connection counted lost, when it does not.
    virtual bool probe() { return true; }
    // Commands sent to the server and answered so far (0 on the file, which has no round trips).
    virtual qint64 roundTrips() const { return 0; }
    // Connects again after a loss without blocking: startReconnect() begins, and
    // continueReconnect() goes on each time the socket is ready the way the last step asked.
    virtual ReconnectStep startReconnect() { return ReconnectStep::Done; }
    virtual ReconnectStep continueReconnect() { return ReconnectStep::Done; }
    // Whether the connection was lost while the last outermost commit was under way, so that
    // it may or may not have taken effect; commitFate() asks the server which, once connected
    // again. The file always knows.
    virtual bool commitInDoubt() const { return false; }
    virtual CommitFate commitFate() { return CommitFate::RolledBack; }
    // Test hook: the next outermost commit loses the connection, before the COMMIT is sent or
    // right after (the server then commits and its answer is lost).
    virtual void loseConnectionAtCommit(bool afterSending) { Q_UNUSED(afterSending); }

    // The file engine's sqlite3 connection, for test hooks; null on other engines.
    virtual void *nativeHandle() const { return nullptr; }
};
