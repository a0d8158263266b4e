#pragma once

#include "engine.h"

#include <QByteArray>

struct pg_conn;

// A schema on a PostgreSQL server, reached through libpq. The tables live in the first
// schema of the connection's search path.
class ServerEngine final : public Engine
{
public:
    // Null on failure, with the reason in `error`.
    static std::unique_ptr<ServerEngine> connect(const QString &connection, const QByteArray &key,
                                                 QString *error);
    ~ServerEngine() override;

    // The store's SQL in the server's dialect: "?" and "?N" parameters become "$N", rowid
    // becomes rid (the identity column that gives table order), ifnull becomes coalesce.
    // `parameters` receives the number of parameters.
    static QByteArray translate(const QString &sql, int *parameters = nullptr);

    bool isServer() const override { return true; }
    QString lastError() const override { return m_error; }

    bool exec(const QString &sql) override;
    std::unique_ptr<EngineStatement> prepare(const QString &sql, bool keep) override;

    bool begin(const QString &name) override;
    bool commit(const QString &name) override;
    void rollback(const QString &name) override;

    qint64 lastInsertId() override { return m_lastId; }
    qint64 ownChanges() override { return m_changes; }
    // Other connections' commits are not visible from here: nothing read can be trusted.
    qint64 otherChanges() override { return -1; }

    int schemaVersion() override;
    bool setSchemaVersion(int version) override;
    QStringList tableNames() override;

    pg_conn *connection() const { return m_conn; }
    // Takes the outcome of a command: true when it succeeded, else the reason is kept.
    bool succeeded(struct pg_result *result, bool readOnly);
    void noteInsertId(qint64 id) { m_lastId = id; }

private:
    ServerEngine() = default;
    QString single(const QString &sql);

    pg_conn *m_conn = nullptr;
    QString m_error;
    int m_depth = 0;
    int m_serial = 0;
    qint64 m_lastId = 0;
    qint64 m_changes = 0;
};
