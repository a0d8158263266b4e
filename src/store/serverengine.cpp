#include "serverengine.h"

#include "schema.h"

#include "common/numbers.h"

#include <QElapsedTimer>
#include <utility>
#include <QHash>
#include <QHostAddress>
#include <QLocale>
#include <QLoggingCategory>
#include <QSysInfo>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcStore)

namespace {

QString messageOf(const char *text)
{
    return QString::fromUtf8(text).trimmed();
}

bool startsWithWord(const QByteArray &sql, const char *word)
{
    const QByteArray head = sql.trimmed().left(qsizetype(qstrlen(word))).toUpper();
    return head == word;
}

class ServerStatement final : public EngineStatement
{
public:
    ServerStatement(ServerEngine *engine, QByteArray sql, int parameters, QByteArray name)
        : m_engine(engine), m_sql(std::move(sql)), m_name(std::move(name)), m_values(size_t(parameters)),
          m_readOnly(startsWithWord(m_sql, "SELECT") || startsWithWord(m_sql, "SHOW")),
          m_insert(startsWithWord(m_sql, "INSERT"))
    {
    }
    ~ServerStatement() override { PQclear(m_result); }

    bool bind(int index, const QVariant &value) override
    {
        if (index < 1 || size_t(index) > m_values.size())
            return true; // as the file engine: a value nobody asks for is harmless
        std::optional<QByteArray> &slot = m_values[size_t(index - 1)];
        switch (value.typeId()) {
        case QMetaType::LongLong:
            slot = QByteArray::number(value.toLongLong());
            break;
        case QMetaType::Double:
            // The shortest text that reads back as exactly this double.
            slot = QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
            break;
        case QMetaType::QString:
            slot = value.toString().toUtf8();
            break;
        default:
            slot.reset();
        }
        return true;
    }

    Step step() override
    {
        if (!m_result) {
            std::vector<const char *> values;
            values.reserve(m_values.size());
            for (const std::optional<QByteArray> &v : m_values)
                values.push_back(v ? v->constData() : nullptr);
            const int n = int(values.size());
            // A one-off statement without values goes as text, with the commands waiting.
            PGresult *r = nullptr;
            if (m_name.isEmpty() && n == 0)
                r = m_engine->roundTrip(m_sql);
            else
                r = m_engine->roundTrip([&](PGconn *conn) {
                    return m_name.isEmpty() ? PQsendQueryParams(conn, m_sql.constData(), n, nullptr,
                                                                values.data(), nullptr, nullptr, 0)
                                            : PQsendQueryPrepared(conn, m_name.constData(), n, values.data(),
                                                                  nullptr, nullptr, 0);
                });
            if (!m_engine->succeeded(r, m_readOnly)) {
                PQclear(r);
                return Step::Error;
            }
            m_result = r;
            m_row = -1;
            if (m_insert) {
                // The rid that RETURNING gave back; the caller sees an insert without rows.
                const int rows = PQntuples(r);
                if (rows > 0)
                    m_engine->noteInsertId(QByteArray(PQgetvalue(r, rows - 1, 0)).toLongLong());
                return Step::Done;
            }
        }
        if (m_insert)
            return Step::Done;
        ++m_row;
        return m_row < PQntuples(m_result) ? Step::Row : Step::Done;
    }

    void reset() override
    {
        PQclear(m_result);
        m_result = nullptr;
        for (std::optional<QByteArray> &v : m_values)
            v.reset();
    }

    bool readOnly() const override { return m_readOnly; }
    qint64 changedRows() const override
    {
        return m_result ? QByteArray(PQcmdTuples(m_result)).toLongLong() : 0;
    }

    int columnCount() const override
    {
        if (m_result)
            return PQnfields(m_result);
        // Before the first step only the server can say: ask it for the shape.
        if (m_name.isEmpty()) {
            PGresult *prepared = m_engine->roundTrip(
                [&](PGconn *conn) { return PQsendPrepare(conn, "", m_sql.constData(), 0, nullptr); });
            const bool ok = m_engine->succeeded(prepared, true);
            PQclear(prepared);
            if (!ok)
                return 0;
        }
        PGresult *shape = m_engine->roundTrip(
            [&](PGconn *conn) { return PQsendDescribePrepared(conn, m_name.constData()); });
        const int n = PQresultStatus(shape) == PGRES_COMMAND_OK ? PQnfields(shape) : 0;
        PQclear(shape);
        return n;
    }

    bool isNull(int column) const override
    {
        return !onRow() || column < 0 || column >= PQnfields(m_result) ||
               PQgetisnull(m_result, m_row, column);
    }

    QString text(int column) const override
    {
        if (isNull(column))
            return {};
        return QString::fromUtf8(PQgetvalue(m_result, m_row, column), PQgetlength(m_result, m_row, column));
    }

    double real(int column) const override
    {
        if (isNull(column))
            return 0;
        bool ok = false;
        const double d = QByteArray(PQgetvalue(m_result, m_row, column)).toDouble(&ok);
        return ok ? d : numberValue(text(column));
    }

    qint64 integer(int column) const override
    {
        if (isNull(column))
            return 0;
        const QByteArray v(PQgetvalue(m_result, m_row, column));
        bool ok = false;
        const qint64 i = v.toLongLong(&ok);
        if (ok)
            return i;
        if (v == "t" || v == "f")
            return v == "t" ? 1 : 0;
        return qint64(v.toDouble()); // toward zero, as the file engine reads a real as an integer
    }

private:
    bool onRow() const { return m_result && m_row >= 0 && m_row < PQntuples(m_result); }

    ServerEngine *m_engine;
    QByteArray m_sql;
    QByteArray m_name;
    std::vector<std::optional<QByteArray>> m_values;
    bool m_readOnly;
    bool m_insert;
    PGresult *m_result = nullptr;
    int m_row = -1;
};

void ignoreNotice(void *, const char *) {}

// Bytes sent that the server's machine has not even acknowledged after kStallMs mean the link
// is dead (a healthy one acknowledges at once, however long the statement then runs).
constexpr int kStallMs = 2000;
// The liveness probe asks for nothing that could wait on a lock: it answers at once or not at all.
constexpr int kProbeCapMs = 3000;

// Whether bytes sent on `fd` wait unacknowledged, or the connection is no longer
// established. Never for a Unix socket, which does not partition.
bool sendStalled(int fd)
{
    tcp_info info{};
    socklen_t length = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0)
        return false;
    return info.tcpi_state != TCP_ESTABLISHED || info.tcpi_unacked > 0;
}

// The channel of the messages between counters.
constexpr char kCounterChannel[] = "corvana_counters";

// What a connection string sets, keyword → value; nothing when it does not parse (connecting
// then says why).
QHash<QString, QString> settingsOf(const QString &connection)
{
    QHash<QString, QString> settings;
    char *parseError = nullptr;
    PQconninfoOption *options = PQconninfoParse(connection.trimmed().toUtf8().constData(), &parseError);
    if (!options) {
        PQfreemem(parseError);
        return settings;
    }
    for (PQconninfoOption *o = options; o->keyword; ++o)
        if (o->val)
            settings.insert(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val).trimmed());
    PQconninfoFree(options);
    return settings;
}

} // namespace

std::unique_ptr<ServerEngine> ServerEngine::connect(const QString &connection, const QByteArray &key,
                                                    QString *error, bool hearOthers)
{
    // Later keywords win: a password, a name or a timeout in the connection string overrides
    // ours, the encoding is always UTF-8, and a server elsewhere is reached encrypted. The
    // timeout bounds the wait at start-up for a server that does not answer; keepalives and the
    // TCP user timeout end a connection whose link has died, idle or not. The counters tell
    // each other apart by the application name: by default the PC's.
    // The server keeps only printable ASCII of a name: two counters named in Chinese would
    // both be "??" there.
    const QString given = settingsOf(connection).value(QStringLiteral("application_name"));
    if (std::ranges::any_of(given, [](QChar c) { return c.unicode() < 0x20 || c.unicode() > 0x7e; })) {
        *error = QStringLiteral("柜台名称（application_name）只能使用英文字母、数字和符号：") + given;
        return nullptr;
    }
    const QByteArray conninfo = connection.trimmed().toUtf8();
    // A host name beyond printable ASCII is percent-encoded, so that it stays itself on the server.
    QByteArray name = QUrl::toPercentEncoding(QSysInfo::machineHostName());
    if (name.isEmpty())
        name = "Corvana";
    const QByteArray sslmode = requiredSslMode(connection);
    std::vector<std::pair<const char *, const char *>> params{
        {"password", key.constData()},    {"application_name", name.constData()},
        {"connect_timeout", "5"},         {"keepalives", "1"},
        {"keepalives_idle", "5"},         {"keepalives_interval", "2"},
        {"keepalives_count", "3"},        {"tcp_user_timeout", "10000"},
        {"dbname", conninfo.constData()}, {"client_encoding", "UTF8"},
    };
    if (!sslmode.isEmpty())
        params.emplace_back("sslmode", sslmode.constData());
    std::vector<const char *> keywords;
    std::vector<const char *> values;
    for (const auto &[keyword, value] : params) {
        keywords.push_back(keyword);
        values.push_back(value);
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    std::unique_ptr<ServerEngine> e(new ServerEngine);
    e->m_hearOthers = hearOthers;
    e->m_conn = PQconnectdbParams(keywords.data(), values.data(), 1);
    if (!e->m_conn || PQstatus(e->m_conn) != CONNECTION_OK) {
        *error = QStringLiteral("无法连接数据库服务器：") +
                 (e->m_conn ? messageOf(PQerrorMessage(e->m_conn)) : QStringLiteral("内存不足"));
        return nullptr;
    }
    PQsetNoticeProcessor(e->m_conn, ignoreNotice, nullptr);
    if (!e->setUpSession()) {
        *error = e->m_error;
        return nullptr;
    }
    return e;
}

QByteArray ServerEngine::requiredSslMode(const QString &connection)
{
    const QHash<QString, QString> settings = settingsOf(connection);
    const QString host = settings.value(QStringLiteral("host"));
    const QString hostaddr = settings.value(QStringLiteral("hostaddr"));
    const QString sslmode = settings.value(QStringLiteral("sslmode"));

    // Several servers may be listed; an address given for one is where its connection goes.
    const QStringList hosts = host.split(u',');
    const QStringList addresses = hostaddr.split(u',');
    bool remote = false;
    for (qsizetype i = 0; i < qMax(hosts.size(), addresses.size()); ++i) {
        QString target = addresses.value(i).trimmed();
        if (target.isEmpty())
            target = hosts.value(i).trimmed();
        const bool local = target.isEmpty() || target.startsWith(u'/') || target.startsWith(u'@') ||
                           target.compare(u"localhost", Qt::CaseInsensitive) == 0 ||
                           QHostAddress(target).isLoopback();
        remote = remote || !local;
    }
    static const QStringList secure{QStringLiteral("require"), QStringLiteral("verify-ca"),
                                    QStringLiteral("verify-full")};
    return remote && !secure.contains(sslmode) ? QByteArrayLiteral("require") : QByteArray();
}

const QList<std::pair<QByteArray, QByteArray>> &ServerEngine::sessionSettings()
{
    // Doubles as text that reads back exactly. No statement runs or waits for a lock long enough
    // to hold the desk's window; a session whose counter went silent in a transaction ends, and
    // one whose link died is noticed by the server too, so its locks and its counter name are
    // free again within about 20 s.
    static const QList<std::pair<QByteArray, QByteArray>> settings{
        {"extra_float_digits", "3"},   {"statement_timeout", "15s"},
        {"lock_timeout", "2s"},        {"idle_in_transaction_session_timeout", "10s"},
        {"tcp_keepalives_idle", "5"},  {"tcp_keepalives_interval", "2"},
        {"tcp_keepalives_count", "3"}, {"tcp_user_timeout", "10s"},
    };
    return settings;
}

bool ServerEngine::setUpSession()
{
    QString set;
    for (const auto &[name, value] : sessionSettings())
        set += QStringLiteral("SET %1 = '%2';").arg(QString::fromLatin1(name), QString::fromLatin1(value));
    if (!exec(set))
        return false;
    if (single(QStringLiteral("SELECT current_schema()")).isEmpty()) {
        m_error = QStringLiteral("数据库服务器上没有可用的模式（search_path 中的第一个模式不存在）");
        return false;
    }
    // Each table's changes are announced on a channel of its name, with the schema as payload:
    // other cafés' schemas on the same server announce on the same channels.
    m_schemas.clear();
    PGresult *r = roundTrip(QByteArray("SELECT unnest(current_schemas(false))"));
    const bool read = succeeded(r, true);
    if (read)
        for (int i = 0; i < PQntuples(r); ++i)
            m_schemas << QString::fromUtf8(PQgetvalue(r, i, 0));
    PQclear(r);
    if (!read || !m_hearOthers)
        return read;
    QString listen = QStringLiteral("LISTEN %1;").arg(QLatin1StringView(kCounterChannel));
    for (const QString &table : schema::tableNames())
        listen += QStringLiteral("LISTEN %1;").arg(table);
    return exec(listen);
}

ServerEngine::~ServerEngine()
{
    if (m_conn)
        PQfinish(m_conn);
}

QByteArray ServerEngine::translate(const QString &sql, int *parameters)
{
    QString out;
    out.reserve(sql.size() + 16);
    int highest = 0;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql.at(i);
        if (c == u'\'' || c == u'"') {
            // Literals and quoted names pass unchanged (a doubled quote stays inside).
            qsizetype j = i + 1;
            while (j < n) {
                if (sql.at(j) == c) {
                    if (j + 1 < n && sql.at(j + 1) == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += QStringView(sql).mid(i, j + 1 - i);
            i = j + 1;
        } else if (c == u'?') {
            qsizetype j = i + 1;
            while (j < n && sql.at(j).isDigit())
                ++j;
            const int number = j > i + 1 ? QStringView(sql).mid(i + 1, j - i - 1).toInt() : highest + 1;
            highest = qMax(highest, number);
            out += u'$' + QString::number(number);
            i = j;
        } else if (c.isLetter() || c == u'_') {
            qsizetype j = i + 1;
            while (j < n && (sql.at(j).isLetterOrNumber() || sql.at(j) == u'_'))
                ++j;
            const QStringView word = QStringView(sql).mid(i, j - i);
            if (word.compare(u"rowid", Qt::CaseInsensitive) == 0)
                out += u"rid";
            else if (word.compare(u"ifnull", Qt::CaseInsensitive) == 0)
                out += u"coalesce";
            else
                out += word;
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    if (parameters)
        *parameters = highest;
    // An insert hands back the row order key of the row it added.
    if (startsWithWord(out.toUtf8(), "INSERT") && !out.contains(u"RETURNING", Qt::CaseInsensitive))
        out += u" RETURNING rid";
    return out.toUtf8();
}

bool ServerEngine::succeeded(PGresult *result, bool readOnly)
{
    // Every command may have read notifications along with its result.
    collect();
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        m_retryable = false;
        if (!readOnly)
            ++m_changes;
        return true;
    }
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    m_retryable = state && (qstrcmp(state, "40001") == 0 || qstrcmp(state, "40P01") == 0);
    if (PQstatus(m_conn) == CONNECTION_BAD) {
        m_error = QStringLiteral("与数据库服务器的连接已断开");
        noteIfLost();
    } else
        m_error = messageOf(result && PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)
                                ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)
                                : PQerrorMessage(m_conn));
    return false;
}

QByteArray ServerEngine::takeDeferred()
{
    QByteArray text;
    for (const QByteArray &command : std::exchange(m_deferred, {}))
        text += command + "; ";
    return text;
}

PGresult *ServerEngine::roundTrip(const std::function<int(PGconn *)> &send, int capMs)
{
    if (!m_deferred.empty()) {
        PGresult *r = roundTrip(QByteArray(), capMs);
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            return r;
        PQclear(r);
    }
    if (!send(m_conn))
        return nullptr; // not even sent: the connection says why
    ++m_roundTrips;
    return await(capMs);
}

PGresult *ServerEngine::roundTrip(const QByteArray &statements, int capMs)
{
    const QByteArray text = takeDeferred() + statements;
    return roundTrip([&](PGconn *conn) { return PQsendQuery(conn, text.constData()); }, capMs);
}

PGresult *ServerEngine::await(int capMs)
{
    // libpq would wait as long as the kernel keeps the connection; wait here instead, in short
    // slices, and give the connection up when the link is found dead.
    QElapsedTimer waited;
    waited.start();
    const int fd = PQsocket(m_conn);
    while (PQisBusy(m_conn)) {
        pollfd ready{fd, POLLIN, 0};
        const int n = poll(&ready, 1, 200);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != 0) {
            if (!PQconsumeInput(m_conn))
                break; // lost: the result below says so
            continue;
        }
        const qint64 ms = waited.elapsed();
        if ((ms >= kStallMs && sendStalled(fd)) || ms >= capMs) {
            abandon(ms);
            break;
        }
    }
    // As PQexec: the last result, unless one before it failed.
    PGresult *kept = nullptr;
    while (PGresult *r = PQgetResult(m_conn)) {
        if (kept && PQresultStatus(kept) == PGRES_FATAL_ERROR) {
            PQclear(r);
            continue;
        }
        PQclear(kept);
        kept = r;
    }
    return kept;
}

void ServerEngine::abandon(qint64 waitedMs)
{
    qCWarning(lcStore) << "the database server has not answered for" << waitedMs
                       << "ms; giving the connection up";
    // Shut down, not closed: libpq reads the end on it and counts the connection lost.
    if (const int fd = PQsocket(m_conn); fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
    PQconsumeInput(m_conn);
}

bool ServerEngine::probe()
{
    if (connectionLost())
        return false;
    // Inside a transaction the statements themselves find a dead link.
    if (m_depth > 0)
        return true;
    PGresult *r = roundTrip(QByteArray("SELECT 1"), kProbeCapMs);
    const bool ok = succeeded(r, true);
    PQclear(r);
    return ok;
}

bool ServerEngine::exec(const QString &sql)
{
    PGresult *r = roundTrip(translate(sql));
    const bool ok = succeeded(r, false);
    PQclear(r);
    if (!ok)
        qCWarning(lcStore) << "exec failed:" << m_error << sql;
    return ok;
}

std::unique_ptr<EngineStatement> ServerEngine::prepare(const QString &sql, bool keep)
{
    int parameters = 0;
    const QByteArray text = translate(sql, &parameters);
    QByteArray name;
    if (keep) {
        // Kept statements are parsed once; one-off ones go with their values each time.
        name = "corvana_" + QByteArray::number(++m_serial);
        PGresult *r = roundTrip([&](PGconn *conn) {
            return PQsendPrepare(conn, name.constData(), text.constData(), 0, nullptr);
        });
        const bool ok = succeeded(r, true);
        PQclear(r);
        if (!ok) {
            qCWarning(lcStore) << "prepare failed:" << m_error << sql;
            return nullptr;
        }
        m_prepared.emplace_back(name, text);
    }
    return std::make_unique<ServerStatement>(this, text, parameters, name);
}

// The outermost transaction is BEGIN … COMMIT; inner ones are savepoints, opened and released
// with the next command sent: a savepoint costs no round trip of its own.
bool ServerEngine::begin(const QString &name)
{
    if (m_depth > 0) {
        m_deferred.push_back("SAVEPOINT " + name.toUtf8());
        ++m_depth;
        return true;
    }
    // The transaction's number comes in the same round trip.
    PGresult *r = roundTrip(QByteArray("BEGIN; SELECT txid_current()"));
    const bool ok = succeeded(r, false) && PQntuples(r) == 1;
    m_xid = ok ? QByteArray(PQgetvalue(r, 0, 0)) : QByteArray();
    PQclear(r);
    if (ok)
        ++m_depth;
    else
        qCWarning(lcStore) << "BEGIN failed:" << m_error;
    return ok;
}

bool ServerEngine::commit(const QString &name)
{
    if (m_depth > 1) {
        m_deferred.push_back("RELEASE SAVEPOINT " + name.toUtf8());
        --m_depth;
        return true;
    }
    // A COMMIT of a transaction that met an error rolls back and still reports success. It
    // releases every savepoint and lock: the commands waiting to go need not be sent.
    m_depth = 0;
    m_deferred.clear();
    const int lose = std::exchange(m_loseAtCommit, 0);
    if (lose == 1)
        abandon(0);
    PGresult *r = roundTrip([&](PGconn *conn) {
        const int sent = PQsendQuery(conn, "COMMIT");
        if (lose == 2 && PQflush(conn) == 0) {
            // The server's answer arrives and is lost on the way.
            const int fd = PQsocket(conn);
            pollfd answered{fd, POLLIN, 0};
            if (poll(&answered, 1, 5000) == 1) {
                char dropped[4096];
                while (::recv(fd, dropped, sizeof dropped, MSG_DONTWAIT) > 0) {
                }
            }
        }
        if (lose == 2)
            abandon(0);
        return sent;
    });
    bool ok = succeeded(r, false);
    // Lost on the way: the server may have committed or not; commitFate() asks later.
    m_inDoubt = !ok && connectionLost() && !m_xid.isEmpty();
    if (ok && qstrcmp(PQcmdStatus(r), "ROLLBACK") == 0) {
        m_error = QStringLiteral("事务中有语句失败，全部已撤销");
        ok = false;
    }
    PQclear(r);
    return ok;
}

void ServerEngine::rollback(const QString &name)
{
    if (m_depth == 0)
        return; // a failed COMMIT has ended it already
    --m_depth;
    if (m_depth == 0) {
        m_deferred.clear();
        exec(QStringLiteral("ROLLBACK"));
        return;
    }
    // A savepoint not sent yet has nothing to undo; what waits after it belongs inside it.
    const QByteArray opened = "SAVEPOINT " + name.toUtf8();
    const auto waiting = std::find(m_deferred.rbegin(), m_deferred.rend(), opened);
    if (waiting != m_deferred.rend()) {
        m_deferred.erase(std::prev(waiting.base()), m_deferred.end());
        return;
    }
    // Everything waiting belongs to savepoints inside this one, which go with it.
    m_deferred.clear();
    exec(QStringLiteral("ROLLBACK TO SAVEPOINT %1; RELEASE SAVEPOINT %1").arg(name));
}

bool ServerEngine::lockTable(const QString &table)
{
    const QByteArray lock = "LOCK TABLE " + table.toUtf8() + " IN EXCLUSIVE MODE";
    // Outside a transaction there is nothing to hold it for: the server says so at once.
    if (m_depth == 0)
        return exec(QString::fromUtf8(lock));
    m_deferred.push_back(lock);
    return true;
}

CommitFate ServerEngine::commitFate()
{
    if (!m_inDoubt)
        return CommitFate::RolledBack;
    if (connectionLost())
        return CommitFate::NotYetKnown;
    // Digits only, as txid_current() gave them.
    const QString status = single(QStringLiteral("SELECT txid_status(%1)").arg(QString::fromLatin1(m_xid)));
    if (connectionLost() || status == u"in progress")
        return CommitFate::NotYetKnown; // the old session has not ended yet
    m_inDoubt = false;
    if (status == u"committed")
        return CommitFate::Committed;
    return status == u"aborted" ? CommitFate::RolledBack : CommitFate::Unknowable;
}

QString ServerEngine::single(const QString &sql)
{
    PGresult *r = roundTrip(translate(sql));
    QString value;
    if (succeeded(r, true) && PQntuples(r) > 0 && !PQgetisnull(r, 0, 0))
        value = QString::fromUtf8(PQgetvalue(r, 0, 0));
    PQclear(r);
    return value;
}

int ServerEngine::schemaVersion()
{
    // The version is the number at the end of the schema's comment, "Corvana N".
    const QString comment =
        single(QStringLiteral("SELECT obj_description(to_regnamespace(current_schema()), 'pg_namespace')"));
    const qsizetype space = comment.lastIndexOf(u' ');
    return comment.startsWith(u"Corvana ") ? comment.mid(space + 1).toInt() : 0;
}

bool ServerEngine::setSchemaVersion(int version)
{
    const QByteArray schema = single(QStringLiteral("SELECT current_schema()")).toUtf8();
    char *quoted = PQescapeIdentifier(m_conn, schema.constData(), size_t(schema.size()));
    if (!quoted) {
        m_error = messageOf(PQerrorMessage(m_conn));
        return false;
    }
    const QString sql =
        QStringLiteral("COMMENT ON SCHEMA %1 IS 'Corvana %2'").arg(QString::fromUtf8(quoted)).arg(version);
    PQfreemem(quoted);
    return exec(sql);
}

QStringList ServerEngine::tableNames()
{
    QStringList names;
    // A branch of a chain finds the shared tables in a later schema of its search path.
    PGresult *r = roundTrip(QByteArray("SELECT DISTINCT table_name FROM information_schema.tables "
                                       "WHERE table_schema = ANY (current_schemas(false))"));
    if (succeeded(r, true))
        for (int i = 0; i < PQntuples(r); ++i)
            names << QString::fromUtf8(PQgetvalue(r, i, 0));
    PQclear(r);
    return names;
}

qint64 ServerEngine::otherChanges()
{
    if (!m_hearOthers)
        return -1;
    // What has arrived counts, even when no one has read the socket yet.
    readArrived();
    return connectionLost() ? -1 : m_others;
}

void ServerEngine::noteIfLost()
{
    if (m_lostNoted || !connectionLost())
        return;
    m_lostNoted = true;
    qCWarning(lcStore) << "the connection to the database server is lost:"
                       << (m_conn ? messageOf(PQerrorMessage(m_conn)) : QString());
    if (m_notified)
        m_notified();
}

void ServerEngine::collect()
{
    if (!m_conn)
        return;
    // A connection hears its own changes too; it knows them already.
    const int own = PQbackendPID(m_conn);
    bool arrived = false;
    while (PGnotify *n = PQnotifies(m_conn)) {
        if (n->be_pid != own && qstrcmp(n->relname, kCounterChannel) == 0) {
            // "schema" LF message: only the counters of this very schema are meant.
            const QString payload = QString::fromUtf8(n->extra);
            const qsizetype cut = payload.indexOf(u'\n');
            if (cut > 0 && !m_schemas.isEmpty() && QStringView(payload).left(cut) == m_schemas.constFirst()) {
                m_messages << payload.mid(cut + 1);
                arrived = true;
            }
        } else if (n->be_pid != own && m_schemas.contains(QString::fromUtf8(n->extra))) {
            m_pending.insert(QString::fromUtf8(n->relname));
            ++m_others;
            arrived = true;
        }
        PQfreemem(n);
    }
    if (arrived && m_notified)
        m_notified();
}

int ServerEngine::notificationSocket() const
{
    return m_conn ? PQsocket(m_conn) : -1;
}

void ServerEngine::readArrived()
{
    if (!connectionLost()) {
        PQconsumeInput(m_conn);
        collect();
    }
    noteIfLost();
}

QStringList ServerEngine::takeNotifications()
{
    readArrived();
    QStringList tables(m_pending.begin(), m_pending.end());
    m_pending.clear();
    tables.sort();
    return tables;
}

bool ServerEngine::post(const QString &message)
{
    const QByteArray payload = message.toUtf8();
    const char *values[] = {kCounterChannel, payload.constData()};
    PGresult *r = roundTrip([&](PGconn *conn) {
        return PQsendQueryParams(conn, "SELECT pg_notify($1, current_schema() || chr(10) || $2)", 2, nullptr,
                                 values, nullptr, nullptr, 0);
    });
    const bool ok = succeeded(r, true);
    PQclear(r);
    return ok;
}

QStringList ServerEngine::takeMessages()
{
    readArrived();
    return std::exchange(m_messages, {});
}

bool ServerEngine::connectionLost() const
{
    return !m_conn || m_lostNoted || PQstatus(m_conn) != CONNECTION_OK;
}

ReconnectStep ServerEngine::startReconnect()
{
    if (!m_conn || !PQresetStart(m_conn)) {
        m_error = QStringLiteral("与数据库服务器的连接已断开");
        return ReconnectStep::Failed;
    }
    m_lostNoted = true; // until the new session is set up
    return ReconnectStep::WaitWrite;
}

ReconnectStep ServerEngine::continueReconnect()
{
    switch (PQresetPoll(m_conn)) {
    case PGRES_POLLING_READING:
        return ReconnectStep::WaitRead;
    case PGRES_POLLING_WRITING:
        return ReconnectStep::WaitWrite;
    case PGRES_POLLING_OK:
        return finishReconnect() ? ReconnectStep::Done : ReconnectStep::Failed;
    default:
        qCInfo(lcStore) << "the database server cannot be reached yet:" << messageOf(PQerrorMessage(m_conn));
        m_error = QStringLiteral("与数据库服务器的连接已断开");
        return ReconnectStep::Failed;
    }
}

bool ServerEngine::finishReconnect()
{
    // The old session's transaction and statements went with it. The connection counts as
    // lost until it is set up as the first one was.
    m_depth = 0;
    m_deferred.clear();
    if (!setUpSession())
        return false;
    for (const auto &[name, text] : m_prepared) {
        PGresult *r = roundTrip([&](PGconn *conn) {
            return PQsendPrepare(conn, name.constData(), text.constData(), 0, nullptr);
        });
        const bool ok = succeeded(r, true);
        PQclear(r);
        if (!ok)
            return false;
    }
    // Changes made meanwhile were announced to no one.
    ++m_others;
    m_lostNoted = false;
    qCInfo(lcStore) << "connected to the database server again";
    return true;
}
