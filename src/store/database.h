#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <memory>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

class Statement;

// One open, keyed SQLCipher database file. Operations return false on failure and leave
// the reason in lastError().
class Database final
{
public:
    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens `path` with `key`. With `create` a missing file is created; without it a
    // missing file is an error. A file that does not open with the key is an error too.
    bool open(const QString &path, const QByteArray &key, bool create);
    void close();
    bool isOpen() const { return m_db != nullptr; }

    bool exec(const QString &sql);
    Statement prepare(const QString &sql);
    // A prepared statement kept for reuse; it is reset when the lease goes out of scope, so
    // a half-read result holds no lock. Do not ask for the same text again while leased.
    class Lease;
    Lease cached(const QString &sql);

    QString lastError() const { return m_error; }
    sqlite3 *handle() const { return m_db; }

    // Test hook: every write after `statements` more successful writes fails. -1 disables.
    void failWritesAfter(int statements) { m_failAfter = statements; }

private:
    friend class Statement;
    bool writeAllowed();
    void setError(const QString &context);

    sqlite3 *m_db = nullptr;
    QString m_error;
    std::unordered_map<QString, std::unique_ptr<Statement>> m_cache;
    int m_failAfter = -1;
};

// A prepared statement. Values bind by position (1-based) and read by column (0-based).
// Bound and read values: QString (text), double, qint64/int, QDateTime (stored text),
// null QVariant (NULL).
class Statement final
{
public:
    Statement() = default;
    Statement(Database *db, sqlite3_stmt *stmt) : m_db(db), m_stmt(stmt) {}
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
    void reset();

    int columnCount() const;
    bool isNull(int column) const;
    QString text(int column) const;
    double real(int column) const;
    qint64 integer(int column) const;
    QDateTime dateTime(int column) const;

private:
    Database *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
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
// Transactions nest: an inner one commits into the outer one.
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
};
