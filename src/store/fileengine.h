#pragma once

#include "engine.h"

#include <QByteArray>

struct sqlite3;

// The keyed SQLCipher database file.
class FileEngine final : public Engine
{
public:
    // Opens `path` with `key`. With `create` a missing file is created; without it a missing
    // file is an error. A file that does not open with the key is an error too. Null on
    // failure, with the reason in `error`.
    static std::unique_ptr<FileEngine> open(const QString &path, const QByteArray &key, bool create,
                                            QString *error);
    ~FileEngine() override;

    bool hasOwnFile() const override { return true; }
    bool sharedByCounters() const override { return false; }
    QString lastError() const override { return m_error; }

    bool exec(const QString &sql) override;
    std::unique_ptr<EngineStatement> prepare(const QString &sql, bool keep) override;

    bool begin(const QString &name) override;
    bool commit(const QString &name) override;
    void rollback(const QString &name) override;
    // The only writer: nothing to lock against.
    bool lockTable(const QString &) override { return true; }

    qint64 lastInsertId() override;
    qint64 ownChanges() override;
    qint64 otherChanges() override;

    int schemaVersion() override;
    bool setSchemaVersion(int version) override;
    QStringList tableNames() override;

    bool connectionLost() const override { return false; }

    // The SQLCipher connection, for tests that hook into it.
    sqlite3 *connection() const { return m_db; }

    void setError(const QString &context);

private:
    FileEngine() = default;
    qint64 single(const QString &sql);

    static constexpr int kBusyTimeoutMs = 5000;

    sqlite3 *m_db = nullptr;
    QString m_error;
    int m_depth = 0; // savepoints open
    // Asked on every use of a cached message: prepared once.
    std::unique_ptr<EngineStatement> m_dataVersion;
};
