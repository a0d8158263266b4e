#include "database.h"

#include "common/formats.h"
#include "common/numbers.h"

#include <QFile>
#include <QLoggingCategory>
#include <sqlcipher/sqlite3.h>

Q_LOGGING_CATEGORY(lcStore, "corvana.store")

Database::~Database()
{
    close();
}

bool Database::open(const QString &path, const QByteArray &key, bool create)
{
    close();
    if (!create && !QFile::exists(path)) {
        m_error = QStringLiteral("文件不存在");
        return false;
    }
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr) != SQLITE_OK) {
        setError(QStringLiteral("open"));
        close();
        return false;
    }
    sqlite3_busy_timeout(m_db, 0);
    if (sqlite3_key(m_db, key.constData(), int(key.size())) != SQLITE_OK) {
        setError(QStringLiteral("key"));
        close();
        return false;
    }
    // A wrong key or a file that is no database only shows at the first read.
    Statement probe = prepare(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    if (!probe.isValid() || !probe.next()) {
        close();
        return false;
    }
    probe = Statement();
    if (!exec(QStringLiteral("PRAGMA synchronous=FULL")) ||
        !exec(QStringLiteral("PRAGMA journal_mode=DELETE")) ||
        !exec(QStringLiteral("PRAGMA foreign_keys=OFF"))) {
        close();
        return false;
    }
    return true;
}

void Database::close()
{
    m_cache.clear();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool Database::exec(const QString &sql)
{
    if (!m_db) {
        m_error = QStringLiteral("数据库未打开");
        return false;
    }
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        m_error = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
        sqlite3_free(message);
        qCWarning(lcStore) << "exec failed:" << m_error << sql;
        return false;
    }
    return true;
}

Statement Database::prepare(const QString &sql)
{
    if (!m_db) {
        m_error = QStringLiteral("数据库未打开");
        return {};
    }
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        setError(QStringLiteral("prepare"));
        qCWarning(lcStore) << "prepare failed:" << m_error << sql;
        sqlite3_finalize(stmt);
        return {};
    }
    return Statement(this, stmt);
}

Database::Lease Database::cached(const QString &sql)
{
    auto it = m_cache.find(sql);
    if (it == m_cache.end() || !it->second->isValid())
        it = m_cache.insert_or_assign(sql, std::make_unique<Statement>(prepare(sql))).first;
    return Lease(*it->second);
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

namespace {
// What the operator is told about the store's failures; the engine's own words follow.
QString describe(int code)
{
    switch (code & 0xff) {
    case SQLITE_NOTADB:
        return QStringLiteral("文件不是数据库，或数据库密码不符");
    case SQLITE_CORRUPT:
        return QStringLiteral("数据库文件已损坏");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库文件正被其他程序锁定");
    case SQLITE_CANTOPEN:
        return QStringLiteral("无法打开文件");
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH:
        return QStringLiteral("没有读写这个文件的权限");
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满");
    case SQLITE_IOERR:
        return QStringLiteral("读写文件出错");
    default:
        return {};
    }
}
} // namespace

void Database::setError(const QString &context)
{
    if (!m_db) {
        m_error = context;
        return;
    }
    const QString detail = QString::fromUtf8(sqlite3_errmsg(m_db));
    const QString reason = describe(sqlite3_extended_errcode(m_db));
    m_error = reason.isEmpty() ? detail : reason + QStringLiteral("：") + detail;
}

Statement::~Statement()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

Statement::Statement(Statement &&other) noexcept
    : m_db(other.m_db), m_stmt(other.m_stmt), m_failed(other.m_failed)
{
    other.m_stmt = nullptr;
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        if (m_stmt)
            sqlite3_finalize(m_stmt);
        m_db = other.m_db;
        m_stmt = other.m_stmt;
        m_failed = other.m_failed;
        other.m_stmt = nullptr;
    }
    return *this;
}

Statement &Statement::bind(int index, const QVariant &value)
{
    if (!m_stmt)
        return *this;
    int rc = SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        rc = sqlite3_bind_null(m_stmt, index);
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
        rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
        break;
    case QMetaType::QDateTime: {
        const QDateTime t = value.toDateTime();
        if (!t.isValid()) {
            rc = sqlite3_bind_null(m_stmt, index);
            break;
        }
        const QByteArray s = storedDateTime(t).toUtf8();
        rc = sqlite3_bind_text(m_stmt, index, s.constData(), int(s.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        if (value.isNull() && value.typeId() != QMetaType::QString) {
            rc = sqlite3_bind_null(m_stmt, index);
            break;
        }
        const QByteArray s = value.toString().toUtf8();
        rc = sqlite3_bind_text(m_stmt, index, s.constData(), int(s.size()), SQLITE_TRANSIENT);
    }
    }
    if (rc != SQLITE_OK) {
        m_failed = true;
        m_db->setError(QStringLiteral("bind"));
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
    if (!sqlite3_stmt_readonly(m_stmt) && !m_db->writeAllowed())
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        m_failed = true;
        m_db->setError(QStringLiteral("step"));
        qCWarning(lcStore) << "step failed:" << m_db->lastError();
    }
    return false;
}

bool Statement::run()
{
    if (!m_stmt || m_failed)
        return false;
    if (!sqlite3_stmt_readonly(m_stmt) && !m_db->writeAllowed())
        return false;
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        m_failed = true;
        m_db->setError(QStringLiteral("step"));
        qCWarning(lcStore) << "step failed:" << m_db->lastError();
        return false;
    }
    return true;
}

void Statement::reset()
{
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        m_failed = false;
    }
}

int Statement::columnCount() const
{
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

bool Statement::isNull(int column) const
{
    return !m_stmt || sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

QString Statement::text(int column) const
{
    if (isNull(column))
        return {};
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
}

double Statement::real(int column) const
{
    if (isNull(column))
        return 0;
    // A number kept as text (typed in by hand with the sqlcipher shell, say) reads as its
    // leading decimal number, like every other text that becomes a number.
    if (sqlite3_column_type(m_stmt, column) == SQLITE_TEXT)
        return numberValue(text(column));
    return sqlite3_column_double(m_stmt, column);
}

qint64 Statement::integer(int column) const
{
    return isNull(column) ? 0 : sqlite3_column_int64(m_stmt, column);
}

QDateTime Statement::dateTime(int column) const
{
    return isNull(column) ? QDateTime() : parseStoredDateTime(text(column));
}

namespace {
int g_transactionSerial = 0;
}

Transaction::Transaction(Database &db)
    : m_db(db), m_name(QStringLiteral("t%1").arg(++g_transactionSerial))
{
    m_active = m_db.exec(QStringLiteral("SAVEPOINT ") + m_name);
}

Transaction::~Transaction()
{
    if (m_active) {
        m_db.exec(QStringLiteral("ROLLBACK TO ") + m_name);
        m_db.exec(QStringLiteral("RELEASE ") + m_name);
    }
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    if (m_db.exec(QStringLiteral("RELEASE ") + m_name)) {
        m_active = false;
        return true;
    }
    return false; // the destructor rolls back
}
