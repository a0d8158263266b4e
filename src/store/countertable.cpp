#include "countertable.h"

#include "database.h"

#include <QSysInfo>
#include <QUrl>

namespace {

// Session locks of counter names: the first key marks them as ours, the second is the hash
// of schema and name (two cafés on one server may both have a counter "1").
constexpr int kLockClass = 14914;

// Whether the counter c is live: its connection holds the lock of its name.
const QString kLive =
    QStringLiteral("EXISTS (SELECT 1 FROM pg_locks l WHERE l.locktype = 'advisory' AND l.granted "
                   "AND l.classid = %1 AND l.objsubid = 2 AND l.pid = c.pid "
                   "AND l.objid = hashtext(current_schema() || '/' || c.name)::oid)")
        .arg(kLockClass);

} // namespace

QString CounterTable::ownName()
{
    Statement s = m_db.prepare(QStringLiteral("SELECT current_setting('application_name')"));
    // A host name given as the default is percent-encoded on the server.
    const QString name = s.next() ? QUrl::fromPercentEncoding(s.text(0).toLatin1()) : QString();
    return name.isEmpty() ? QSysInfo::machineHostName() : name;
}

bool CounterTable::ensureTables()
{
    // Two counters starting together must not both create them.
    Transaction t(m_db);
    Statement lock = m_db.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(%1, 0)").arg(kLockClass));
    const bool created =
        lock.next() &&
        m_db.exec(QStringLiteral(
            "CREATE UNLOGGED TABLE IF NOT EXISTS counters (name text COLLATE \"C\" PRIMARY KEY, "
            "pid integer NOT NULL, rid bigint GENERATED ALWAYS AS IDENTITY)")) &&
        m_db.exec(QStringLiteral("CREATE UNLOGGED TABLE IF NOT EXISTS counter_pcs (ip text COLLATE \"C\", "
                                 "counter text COLLATE \"C\", rid bigint GENERATED ALWAYS AS IDENTITY, "
                                 "PRIMARY KEY (ip, counter))"));
    // Not created, or the commit failed: the transaction is rolled back whole and the claim fails.
    if (!created || !t.commit())
        return false;
    return true;
}

Result<bool> CounterTable::claim(const QString &name)
{
    if (!ensureTables())
        return failure(m_db.lastError());
    Statement lock =
        m_db.prepare(QStringLiteral("SELECT pg_try_advisory_lock(%1, hashtext(current_schema() || '/' || ?))")
                         .arg(kLockClass));
    lock.bind(1, name);
    if (!lock.next())
        return failure(m_db.lastError());
    if (!lock.integer(0))
        return false;
    Transaction t(m_db);
    Statement own =
        m_db.prepare(QStringLiteral("INSERT INTO counters (name, pid) VALUES (?, pg_backend_pid()) ON "
                                    "CONFLICT (name) DO UPDATE SET pid = excluded.pid"));
    Statement forget = m_db.prepare(QStringLiteral("DELETE FROM counter_pcs WHERE counter = ?"));
    if (!own.bind(1, name).run() || !forget.bind(1, name).run() || !t.commit())
        return failure(m_db.lastError());
    return true;
}

CounterTable::Holdings CounterTable::holdings(const QString &name)
{
    // One round trip: it is read before every pass.
    Holdings h;
    auto s = m_db.cached(QStringLiteral("SELECT c.name, p.ip FROM counters c LEFT JOIN counter_pcs p "
                                        "ON p.counter = c.name AND c.name <> ? WHERE %1 ORDER BY c.name")
                             .arg(kLive));
    s->bind(1, name);
    while (s->next()) {
        if (h.live.isEmpty() || h.live.constLast() != s->text(0))
            h.live << s->text(0);
        if (!s->isNull(1))
            h.elsewhere.insert(s->text(1));
    }
    return h;
}

bool CounterTable::hold(const QString &name, const QString &ip)
{
    return m_db
        .prepare(QStringLiteral("INSERT INTO counter_pcs (ip, counter) VALUES (?, ?) ON CONFLICT DO NOTHING"))
        .bindAll({ip, name})
        .run();
}

bool CounterTable::release(const QString &name, const QString &ip)
{
    return m_db.prepare(QStringLiteral("DELETE FROM counter_pcs WHERE ip = ? AND counter = ?"))
        .bindAll({ip, name})
        .run();
}

QString CounterTable::holderOf(const QString &ip)
{
    Statement s = m_db.prepare(
        QStringLiteral("SELECT p.counter FROM counter_pcs p JOIN counters c ON c.name = p.counter "
                       "WHERE p.ip = ? AND %1 ORDER BY p.counter LIMIT 1")
            .arg(kLive));
    s.bind(1, ip);
    return s.next() ? s.text(0) : QString();
}
