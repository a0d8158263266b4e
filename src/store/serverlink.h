#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Where connecting again stands: failed, waiting until the socket can be read or written,
// or working again.
enum class ReconnectStep { Failed, WaitRead, WaitWrite, Done };

// What became of a commit whose answer never came: asked of the server once connected again.
enum class CommitFate { Committed, RolledBack, NotYetKnown, Unknowable };

// What a store on a database server has beyond what every engine does: other counters' changes
// and messages as they commit, the connection's liveness, connecting again after a loss, and what
// became of a commit the loss cut off. The file, with no other counter and no network, has none
// of it; the desk's server watch holds it.
class ServerLink
{
public:
    virtual ~ServerLink() = default;

    // The reason of the last failure, in words the operator can be shown.
    virtual QString lastError() const = 0;

    // The connection's socket, to watch for what other connections send; -1 when there is none.
    virtual int notificationSocket() const = 0;
    // Reads what has arrived and returns the tables other connections changed since the last
    // call, each once.
    virtual QStringList takeNotifications() = 0;
    // Messages between the counters working on the schema: post() sends one to all the others
    // when the transaction commits (at once outside one; never when it rolls back), and
    // takeMessages() returns those that have arrived, in order.
    virtual bool post(const QString &message) = 0;
    virtual QStringList takeMessages() = 0;
    // Called whenever changes of other connections arrive or the connection is found lost,
    // also in the middle of a command that happened to read them: the socket is then quiet
    // although something is waiting. Must only take note, not run commands.
    virtual void setNotified(std::function<void()> notified) = 0;
    // Asks the server whether it still answers, waiting a few seconds at most; false, and the
    // connection counted lost, when it does not.
    virtual bool probe() = 0;
    // Commands sent to the server and answered so far, for measuring.
    virtual qint64 roundTrips() const = 0;
    // Connects again after a loss (same connection string, same kept statements) without
    // blocking: startReconnect() begins, and continueReconnect() goes on each time the socket is
    // ready the way the last step asked, until Done or Failed.
    virtual ReconnectStep startReconnect() = 0;
    virtual ReconnectStep continueReconnect() = 0;
    // Whether the connection was lost while the last outermost commit was under way, so that it
    // may or may not have taken effect; commitFate() asks the server which once connected again
    // (NotYetKnown while the server's session of that transaction has not ended yet).
    virtual bool commitInDoubt() const = 0;
    virtual CommitFate commitFate() = 0;
    // Test hook: the next outermost commit loses the connection, before the COMMIT is sent or
    // right after (the server then commits and its answer is lost).
    virtual void loseConnectionAtCommit(bool afterSending) = 0;
};
