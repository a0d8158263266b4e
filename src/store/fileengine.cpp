#include "fileengine.h"

#include "common/numbers.h"

#include <QFile>
#include <QLoggingCategory>
#include <sqlcipher/sqlite3.h>

Q_DECLARE_LOGGING_CATEGORY(lcStore)

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

class FileStatement final : public EngineStatement
{
public:
    FileStatement(FileEngine *engine, sqlite3_stmt *stmt) : m_engine(engine), m_stmt(stmt) {}
    ~FileStatement() override { sqlite3_finalize(m_stmt); }

    bool bind(int index, const QVariant &value) override
    {
        int rc = SQLITE_OK;
        switch (value.typeId()) {
        case QMetaType::LongLong:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case QMetaType::QString: {
            const QByteArray s = value.toString().toUtf8();
            rc = sqlite3_bind_text(m_stmt, index, s.constData(), int(s.size()), SQLITE_TRANSIENT);
            break;
        }
        default:
            rc = sqlite3_bind_null(m_stmt, index);
        }
        if (rc != SQLITE_OK) {
            m_engine->setError(QStringLiteral("bind"));
            return false;
        }
        return true;
    }

    Step step() override
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return Step::Row;
        if (rc == SQLITE_DONE)
            return Step::Done;
        m_engine->setError(QStringLiteral("step"));
        return Step::Error;
    }

    void reset() override
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }

    bool readOnly() const override { return sqlite3_stmt_readonly(m_stmt) != 0; }
    qint64 changedRows() const override { return sqlite3_changes(sqlite3_db_handle(m_stmt)); }
    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    bool isNull(int column) const override { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

    QString text(int column) const override
    {
        if (isNull(column))
            return {};
        const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
    }

    double real(int column) const override
    {
        if (isNull(column))
            return 0;
        // A number kept as text (typed in by hand with the sqlcipher shell, say) reads as its
        // leading decimal number, like every other text that becomes a number.
        if (sqlite3_column_type(m_stmt, column) == SQLITE_TEXT)
            return numberValue(text(column));
        return sqlite3_column_double(m_stmt, column);
    }

    qint64 integer(int column) const override
    {
        return isNull(column) ? 0 : sqlite3_column_int64(m_stmt, column);
    }

private:
    FileEngine *m_engine;
    sqlite3_stmt *m_stmt;
};

} // namespace

std::unique_ptr<FileEngine> FileEngine::open(const QString &path, const QByteArray &key, bool create,
                                             QString *error)
{
    if (!create && !QFile::exists(path)) {
        *error = QStringLiteral("文件不存在");
        return nullptr;
    }
    std::unique_ptr<FileEngine> e(new FileEngine);
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const int opened = sqlite3_open_v2(path.toUtf8().constData(), &e->m_db, flags, nullptr);
    if (opened != SQLITE_OK) {
        e->setError(QStringLiteral("open"));
        *error = e->m_error;
        return nullptr;
    }
    // Another program reading the file (a backup tool, a virus scanner) holds it for a
    // moment: wait for it rather than fail the cashier's action at once.
    sqlite3_busy_timeout(e->m_db, kBusyTimeoutMs);
    if (sqlite3_key(e->m_db, key.constData(), int(key.size())) != SQLITE_OK) {
        e->setError(QStringLiteral("key"));
        *error = e->m_error;
        return nullptr;
    }
    // A wrong key or a file that is no database only shows at the first read.
    {
        std::unique_ptr<EngineStatement> probe =
            e->prepare(QStringLiteral("SELECT count(*) FROM sqlite_master"), false);
        if (!probe || probe->step() != EngineStatement::Step::Row) {
            *error = e->m_error;
            return nullptr;
        }
    }
    if (!e->exec(QStringLiteral("PRAGMA synchronous=FULL")) ||
        !e->exec(QStringLiteral("PRAGMA journal_mode=DELETE")) ||
        !e->exec(QStringLiteral("PRAGMA foreign_keys=OFF"))) {
        *error = e->m_error;
        return nullptr;
    }
    return e;
}

FileEngine::~FileEngine()
{
    m_dataVersion.reset();
    if (m_db)
        sqlite3_close_v2(m_db);
}

bool FileEngine::exec(const QString &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        m_error = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
        sqlite3_free(message);
        qCWarning(lcStore) << "exec failed:" << m_error << sql;
        return false;
    }
    return true;
}

std::unique_ptr<EngineStatement> FileEngine::prepare(const QString &sql, bool)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        setError(QStringLiteral("prepare"));
        qCWarning(lcStore) << "prepare failed:" << m_error << sql;
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return std::make_unique<FileStatement>(this, stmt);
}

// Savepoints everywhere: outside a transaction one begins a deferred transaction.
bool FileEngine::begin(const QString &name)
{
    const bool ok = exec(QStringLiteral("SAVEPOINT ") + name);
    if (ok)
        ++m_depth;
    return ok;
}

bool FileEngine::commit(const QString &name)
{
    // The outermost release writes the file; when another program keeps it from that (a
    // reader beyond the busy timeout), the transaction is still open and must be rolled back.
    const bool ok = exec(QStringLiteral("RELEASE ") + name);
    if (ok)
        --m_depth;
    return ok;
}

void FileEngine::rollback(const QString &name)
{
    if (m_depth <= 0)
        return;
    // The outermost one ends the transaction whatever happened in it: a RELEASE after
    // ROLLBACK TO could fail again and leave the file's locks held.
    if (--m_depth == 0 || sqlite3_get_autocommit(m_db)) {
        m_depth = 0;
        if (!sqlite3_get_autocommit(m_db))
            exec(QStringLiteral("ROLLBACK"));
        return;
    }
    exec(QStringLiteral("ROLLBACK TO ") + name);
    exec(QStringLiteral("RELEASE ") + name);
}

qint64 FileEngine::lastInsertId()
{
    return sqlite3_last_insert_rowid(m_db);
}

qint64 FileEngine::ownChanges()
{
    return sqlite3_total_changes(m_db);
}

qint64 FileEngine::single(const QString &sql)
{
    std::unique_ptr<EngineStatement> s = prepare(sql, false);
    return s && s->step() == EngineStatement::Step::Row ? s->integer(0) : -1;
}

qint64 FileEngine::otherChanges()
{
    if (!m_dataVersion)
        m_dataVersion = prepare(QStringLiteral("PRAGMA data_version"), true);
    if (!m_dataVersion)
        return -1;
    const bool read = m_dataVersion->step() == EngineStatement::Step::Row;
    const qint64 version = read ? m_dataVersion->integer(0) : -1;
    m_dataVersion->reset();
    return version;
}

int FileEngine::schemaVersion()
{
    return int(single(QStringLiteral("PRAGMA user_version")));
}

bool FileEngine::setSchemaVersion(int version)
{
    return exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
}

QStringList FileEngine::tableNames()
{
    QStringList present;
    std::unique_ptr<EngineStatement> s =
        prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"), false);
    while (s && s->step() == EngineStatement::Step::Row)
        present << s->text(0);
    return present;
}

void FileEngine::setError(const QString &context)
{
    if (!m_db) {
        m_error = context;
        return;
    }
    const QString detail = QString::fromUtf8(sqlite3_errmsg(m_db));
    const QString reason = describe(sqlite3_extended_errcode(m_db));
    m_error = reason.isEmpty() ? detail : reason + QStringLiteral("：") + detail;
}
