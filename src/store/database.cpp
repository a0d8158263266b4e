#include "database.h"

#include "engine.h"
#include "fileengine.h"
#include "serverengine.h"

#include "common/formats.h"

#include <QLoggingCategory>
#include <algorithm>
#include <atomic>

Q_LOGGING_CATEGORY(lcStore, "corvana.store")

Database::Database() = default;

Database::~Database()
{
    close();
}

bool Database::open(const QString &path, const QByteArray &key, bool create)
{
    close();
    std::unique_ptr<FileEngine> file = FileEngine::open(path, key, create, &m_error);
    m_file = file.get();
    m_engine = std::move(file);
    return m_engine != nullptr;
}

bool Database::openServer(const QString &connection, const QByteArray &key, bool hearOthers)
{
    close();
    std::unique_ptr<ServerEngine> server = ServerEngine::connect(connection, key, &m_error, hearOthers);
    m_link = server.get();
    m_engine = std::move(server);
    return m_engine != nullptr;
}

void Database::close()
{
    m_cache.clear();
    m_file = nullptr;
    m_link = nullptr;
    m_engine.reset();
}

bool Database::lastFailureRetryable() const
{
    return m_engine && m_engine->lastFailureRetryable();
}

bool Database::hasOwnFile() const
{
    return m_engine && m_engine->hasOwnFile();
}

bool Database::sharedByCounters() const
{
    return m_engine && m_engine->sharedByCounters();
}

bool Database::check(bool ok)
{
    if (!ok)
        m_error = m_engine->lastError();
    return ok;
}

bool Database::exec(const QString &sql)
{
    if (!m_engine) {
        m_error = QStringLiteral("数据库未打开");
        return false;
    }
    return check(m_engine->exec(sql));
}

Statement Database::prepare(const QString &sql)
{
    if (!m_engine) {
        m_error = QStringLiteral("数据库未打开");
        return {};
    }
    std::unique_ptr<EngineStatement> s = m_engine->prepare(sql, false);
    if (!s) {
        m_error = m_engine->lastError();
        return {};
    }
    return Statement(this, std::move(s));
}

Database::Lease Database::cached(const QString &sql)
{
    auto it = m_cache.find(sql);
    if (it == m_cache.end() || !it->second->isValid()) {
        Statement s;
        if (!m_engine) {
            m_error = QStringLiteral("数据库未打开");
        } else if (std::unique_ptr<EngineStatement> prepared = m_engine->prepare(sql, true)) {
            s = Statement(this, std::move(prepared));
        } else {
            m_error = m_engine->lastError();
        }
        it = m_cache.insert_or_assign(sql, std::make_unique<Statement>(std::move(s))).first;
    }
    return Lease(*it->second);
}

bool Database::lockTable(const QString &table)
{
    if (!m_engine) {
        m_error = QStringLiteral("数据库未打开");
        return false;
    }
    return check(m_engine->lockTable(table));
}

bool Database::lockRows(const QString &table, QList<qint64> rowids)
{
    if (!sharedByCounters())
        return isOpen();
    // One order for every connection, so two never wait for each other.
    std::sort(rowids.begin(), rowids.end());
    auto s = cached(QStringLiteral("SELECT 1 FROM %1 WHERE rowid = ? FOR UPDATE").arg(table));
    for (qint64 rowid : std::as_const(rowids)) {
        s->bind(1, rowid);
        const bool ok = s->run();
        s->reset();
        if (!ok)
            return false;
    }
    return true;
}

qint64 Database::lastInsertId()
{
    return m_engine ? m_engine->lastInsertId() : 0;
}

Database::ChangeStamp Database::changeStamp()
{
    if (!m_engine)
        return {};
    return {m_engine.get(), m_engine->ownChanges(), m_engine->otherChanges()};
}

bool Database::connectionLost() const
{
    return m_engine && m_engine->connectionLost();
}

qint64 Database::roundTrips() const
{
    return m_link ? m_link->roundTrips() : 0;
}

int Database::schemaVersion()
{
    return m_engine ? m_engine->schemaVersion() : -1;
}

bool Database::setSchemaVersion(int version)
{
    return m_engine && check(m_engine->setSchemaVersion(version));
}

QStringList Database::tableNames()
{
    return m_engine ? m_engine->tableNames() : QStringList();
}

sqlite3 *Database::handle() const
{
    return m_file ? m_file->connection() : nullptr;
}

bool Database::writeAllowed()
{
    if (m_failAfter < 0)
        return true;
    if (m_failAfter == 0) {
        m_error = QStringLiteral("simulated write failure");
        return false;
    }
    --m_failAfter;
    return true;
}

Statement::Statement() = default;

Statement::Statement(Database *db, std::unique_ptr<EngineStatement> stmt) : m_db(db), m_stmt(std::move(stmt))
{
}

Statement::~Statement() = default;

Statement::Statement(Statement &&other) noexcept
    : m_db(other.m_db), m_stmt(std::move(other.m_stmt)), m_failed(other.m_failed)
{
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        m_db = other.m_db;
        m_stmt = std::move(other.m_stmt);
        m_failed = other.m_failed;
    }
    return *this;
}

namespace {
// The four kinds of value engines take: null, qint64, double and text.
QVariant engineValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        return {};
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
        return value.toLongLong();
    case QMetaType::QDateTime: {
        const QDateTime t = value.toDateTime();
        return t.isValid() ? QVariant(storedDateTime(t)) : QVariant();
    }
    default:
        if (value.isNull() && value.typeId() != QMetaType::QString)
            return {};
        return value.toString();
    }
}
} // namespace

Statement &Statement::bind(int index, const QVariant &value)
{
    if (!m_stmt)
        return *this;
    if (!m_stmt->bind(index, engineValue(value))) {
        m_failed = true;
        m_db->m_error = m_db->m_engine->lastError();
    }
    return *this;
}

Statement &Statement::bindAll(const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values.at(i));
    return *this;
}

bool Statement::next()
{
    if (!m_stmt || m_failed)
        return false;
    if (!m_stmt->readOnly() && !m_db->writeAllowed())
        return false;
    const EngineStatement::Step step = m_stmt->step();
    if (step == EngineStatement::Step::Row)
        return true;
    if (step == EngineStatement::Step::Error) {
        m_failed = true;
        m_db->m_error = m_db->m_engine->lastError();
        qCWarning(lcStore) << "step failed:" << m_db->lastError();
    }
    return false;
}

bool Statement::run()
{
    if (!m_stmt || m_failed)
        return false;
    if (!m_stmt->readOnly() && !m_db->writeAllowed())
        return false;
    EngineStatement::Step step;
    while ((step = m_stmt->step()) == EngineStatement::Step::Row) {
    }
    if (step == EngineStatement::Step::Error) {
        m_failed = true;
        m_db->m_error = m_db->m_engine->lastError();
        qCWarning(lcStore) << "step failed:" << m_db->lastError();
        return false;
    }
    return true;
}

qint64 Statement::changedRows() const
{
    return m_stmt ? m_stmt->changedRows() : 0;
}

void Statement::reset()
{
    if (m_stmt) {
        m_stmt->reset();
        m_failed = false;
    }
}

int Statement::columnCount() const
{
    return m_stmt ? m_stmt->columnCount() : 0;
}

bool Statement::isNull(int column) const
{
    return !m_stmt || m_stmt->isNull(column);
}

QString Statement::text(int column) const
{
    return m_stmt ? m_stmt->text(column) : QString();
}

double Statement::real(int column) const
{
    return m_stmt ? m_stmt->real(column) : 0;
}

qint64 Statement::integer(int column) const
{
    return m_stmt ? m_stmt->integer(column) : 0;
}

QDateTime Statement::dateTime(int column) const
{
    return isNull(column) ? QDateTime() : parseStoredDateTime(text(column));
}

namespace {
// Savepoint names; counters on other threads (tests) open transactions too.
std::atomic<int> g_transactionSerial = 0;
} // namespace

Transaction::Transaction(Database &db) : m_db(db), m_name(QStringLiteral("t%1").arg(++g_transactionSerial))
{
    m_outermost = m_db.m_depth == 0;
    m_active = m_db.m_engine && m_db.check(m_db.m_engine->begin(m_name));
    if (m_active)
        ++m_db.m_depth;
}

Transaction::~Transaction()
{
    if (!m_active)
        return;
    if (m_db.m_depth > 0)
        --m_db.m_depth;
    if (m_db.m_engine)
        m_db.m_engine->rollback(m_name);
}

bool Transaction::commit()
{
    if (!m_active || !m_db.m_engine)
        return false;
    if (m_outermost && m_db.m_failCommitsAfter >= 0 && m_db.m_failCommitsAfter-- == 0) {
        m_db.m_error = QStringLiteral("simulated commit failure");
        return false; // the destructor rolls back
    }
    if (!m_db.check(m_db.m_engine->commit(m_name)))
        return false; // the destructor rolls back
    m_active = false;
    --m_db.m_depth;
    return true;
}
