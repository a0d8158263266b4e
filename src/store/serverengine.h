#pragma once

#include "engine.h"
#include "serverlink.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <functional>
#include <vector>

struct pg_conn;

// A schema on a PostgreSQL server, reached through libpq. The tables live in the first
// schema of the connection's search path.
class ServerEngine final : public Engine, public ServerLink
{
public:
    // Null on failure, with the reason in `error`. Without `hearOthers` the connection is not
    // told of other connections' changes and messages (a reader that never waits on them), and
    // otherChanges() cannot tell.
    static std::unique_ptr<ServerEngine> connect(const QString &connection, const QByteArray &key,
                                                 QString *error, bool hearOthers = true);
    ~ServerEngine() override;

    // The store's SQL in the server's dialect: "?" and "?N" parameters become "$N", rowid
    // becomes rid (the identity column that gives table order), ifnull becomes coalesce.
    // `parameters` receives the number of parameters.
    static QByteArray translate(const QString &sql, int *parameters = nullptr);
    // The sslmode a connection string must be given so a server on another machine is only
    // reached encrypted: "require" when one of its hosts is not this machine (not a socket
    // folder, localhost or a loopback address) and it asks for less; else empty, as it stands.
    static QByteArray requiredSslMode(const QString &connection);

    bool hasOwnFile() const override { return false; }
    bool sharedByCounters() const override { return true; }
    QString lastError() const override { return m_error; }
    bool lastFailureRetryable() const override { return m_retryable; }

    bool exec(const QString &sql) override;
    std::unique_ptr<EngineStatement> prepare(const QString &sql, bool keep) override;

    bool begin(const QString &name) override;
    bool commit(const QString &name) override;
    void rollback(const QString &name) override;
    // Taken with the next command sent.
    bool lockTable(const QString &table) override;

    qint64 lastInsertId() override { return m_lastId; }
    qint64 ownChanges() override { return m_changes; }
    // Counts the changes other connections announced; -1 while the connection is lost, when
    // nothing read can be trusted.
    qint64 otherChanges() override;

    int schemaVersion() override;
    bool setSchemaVersion(int version) override;
    QStringList tableNames() override;

    bool connectionLost() const override;

    // ServerLink
    int notificationSocket() const override;
    QStringList takeNotifications() override;
    bool post(const QString &message) override;
    QStringList takeMessages() override;
    void setNotified(std::function<void()> notified) override { m_notified = std::move(notified); }
    bool probe() override;
    qint64 roundTrips() const override { return m_roundTrips; }
    ReconnectStep startReconnect() override;
    ReconnectStep continueReconnect() override;
    bool commitInDoubt() const override { return m_inDoubt; }
    CommitFate commitFate() override;
    void loseConnectionAtCommit(bool afterSending) override { m_loseAtCommit = afterSending ? 2 : 1; }

    // The answer to a command that `send` sends (returning what its PQsend… call did); null
    // when it was not sent. The commands waiting to go (see m_deferred) are sent first, on their
    // own. Awaits at most `capMs` (past the session's statement timeout: for a server that
    // acknowledges but never answers), and much less on a link found dead, which is then lost.
    static constexpr int kAnswerCapMs = 20000;
    struct pg_result *roundTrip(const std::function<int(pg_conn *)> &send, int capMs = kAnswerCapMs);
    // The answer to one or more statements without values, sent as one text after the commands
    // waiting to go; the last statement's result, or the first that failed.
    struct pg_result *roundTrip(const QByteArray &statements, int capMs = kAnswerCapMs);
    // Takes the outcome of a command: true when it succeeded, else the reason is kept.
    bool succeeded(struct pg_result *result, bool readOnly);
    void noteInsertId(qint64 id) { m_lastId = id; }

private:
    ServerEngine() = default;
    QString single(const QString &sql);
    // What every session is set to, name → value: how long a statement, a lock wait or an idle
    // transaction may last, and how soon the server notices a dead link.
    static const QList<std::pair<QByteArray, QByteArray>> &sessionSettings();
    // What a fresh session needs: exact doubles, its bounds, the schema, the change channels.
    bool setUpSession();
    // Reads from the socket what has arrived (noting a lost connection) and collects it.
    void readArrived();
    // Moves the notifications libpq has read into m_pending.
    void collect();
    // Tells the watcher, once per loss, that the connection has gone.
    void noteIfLost();
    bool finishReconnect();
    struct pg_result *await(int capMs);
    // Gives up a connection whose link is dead: from then on it counts as lost.
    void abandon(qint64 waitedMs);

    // The savepoints opened and released and the tables locked since the last command, as
    // their commands: nothing waits on their answer, so they go with the next command, which
    // fails if one of them did.
    QByteArray takeDeferred();
    std::vector<QByteArray> m_deferred;
    // Kept statements by name, prepared again on a new session.
    std::vector<std::pair<QByteArray, QByteArray>> m_prepared;
    // The schemas whose changes count: those of the search path.
    QStringList m_schemas;
    QSet<QString> m_pending;
    QStringList m_messages;
    qint64 m_others = 0;
    std::function<void()> m_notified;
    bool m_hearOthers = true;
    // Lost and not yet set up again (the connection may be half way back).
    bool m_lostNoted = false;

    pg_conn *m_conn = nullptr;
    QString m_error;
    bool m_retryable = false;
    int m_depth = 0;
    // The outermost transaction's number on the server, to ask what became of it when the
    // connection is lost at its commit.
    QByteArray m_xid;
    bool m_inDoubt = false;
    int m_loseAtCommit = 0; // test hook: 1 before the COMMIT is sent, 2 after
    int m_serial = 0;
    qint64 m_lastId = 0;
    qint64 m_changes = 0;
    qint64 m_roundTrips = 0;
};
