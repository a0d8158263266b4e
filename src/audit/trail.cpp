#include "trail.h"

#include "common/formats.h"
#include "store/countertable.h"
#include "store/database.h"
#include "store/store.h"

#include "common/clock.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QSysInfo>
#include <optional>

Q_LOGGING_CATEGORY(lcAudit, "corvana.audit")

namespace audit {

namespace {

// Where a connection keeps its trail. On the file: the attached audit.db, entries without a
// counter (so existing files keep their hashes), each entry first written into the store file
// with its action (`pending`) and moved into audit.db moments later. On a server: a schema of
// its own, shared by every counter, each entry naming the counter that wrote it.
struct Place
{
    QString table = QStringLiteral("audit.trail");
    QString counter;
    bool server = false;
    QString pending = server ? QString() : QStringLiteral("main.trail_pending");
};

QHash<const Database *, Place> &places()
{
    static QHash<const Database *, Place> all;
    return all;
}

Place placeOf(const Database &db)
{
    return db.sharedByCounters() ? places().value(&db, Place{QStringLiteral("audit.trail"), {}, true})
                                 : Place{};
}

QString columns(const Place &place)
{
    return place.server ? QStringLiteral("seq, time, operator, machine, kind, details, hash, counter")
                        : QStringLiteral("seq, time, operator, machine, kind, details, hash");
}

// The whole trail to read from: on the file the entries still waiting in the store file follow
// those in audit.db. Waiting entries a restored store brought back, already moved, are left out.
QString source(const Place &place)
{
    if (place.pending.isEmpty())
        return place.table;
    return QStringLiteral("(SELECT %1 FROM %2 UNION ALL SELECT %1 FROM %3 WHERE seq > "
                          "(SELECT coalesce(max(seq), 0) FROM %2))")
        .arg(columns(place), place.table, place.pending);
}

// The seq and hash of the newest entry; seq 0 while the trail is empty.
std::pair<qint64, QString> newest(Database &db, const Place &place)
{
    std::pair<qint64, QString> found{0, QString()};
    for (const QString &table : {place.table, place.pending}) {
        if (table.isEmpty())
            continue;
        // One-off and without values: on a server it goes with the lock on the trail and the
        // entry's savepoint, one round trip.
        Statement last =
            db.prepare(QStringLiteral("SELECT seq, hash FROM %1 ORDER BY seq DESC LIMIT 1").arg(table));
        if (last.next() && last.integer(0) > found.first)
            found = {last.integer(0), last.text(1)};
    }
    return found;
}

QString hashOf(const QString &previous, const Entry &e, bool withCounter)
{
    // Fields are separated by a unit separator, which no typed text contains.
    QStringList fields{previous,       QString::number(e.seq),     storedDateTime(e.time),
                       e.operatorName, QString::number(e.machine), e.kind,
                       e.details};
    if (withCounter)
        fields << e.counter;
    const QString content = fields.join(QChar(0x1f));
    return QString::fromLatin1(
        QCryptographicHash::hash(content.toUtf8(), QCryptographicHash::Sha256).toHex());
}

Entry read(const Statement &s, const Place &place)
{
    Entry e;
    e.seq = s.integer(0);
    e.time = s.dateTime(1);
    e.operatorName = s.text(2);
    e.machine = int(s.integer(3));
    e.kind = s.text(4);
    e.details = s.text(5);
    e.hash = s.text(6);
    if (place.server)
        e.counter = s.text(7);
    return e;
}

// The trail on a server: created when missing. The rid column is there because the store's
// inserts on a server hand back a rid.
// The trail's schema of the café whose store is the connection's: the branches of a chain and
// the cafés that share a server each keep their own trail.
QString ownSchema(Database &db)
{
    Statement s = db.prepare(QStringLiteral("SELECT CASE current_schema() WHEN 'public' THEN 'audit' ELSE "
                                            "quote_ident(current_schema() || '_audit') END"));
    return s.next() ? s.text(0) : QStringLiteral("audit");
}

Result<> attachServer(Database &db, const QString &schemaName)
{
    const QString table = schemaName + QStringLiteral(".trail");
    auto exists = [&] {
        Statement s = db.prepare(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"));
        s.bind(1, table);
        return s.next() && s.integer(0) != 0;
    };
    const QString create = QStringLiteral(R"(CREATE SCHEMA IF NOT EXISTS %1;
        CREATE TABLE IF NOT EXISTS %2 (seq bigint PRIMARY KEY, time text COLLATE "C", operator text,
            machine bigint, kind text, details text, hash text, counter text,
            rid bigint GENERATED ALWAYS AS IDENTITY))")
                               .arg(schemaName, table);
    // Two counters starting together may both create it; the loser finds it made.
    if (!exists() && !db.exec(create) && !exists())
        return failure(db.lastError());
    places().insert(&db, Place{table, counterName(db), true});
    return {};
}

// The connections that keep a trail, all on the program's one thread.
QHash<const Database *, Recorder *> &recorders()
{
    static QHash<const Database *, Recorder *> all;
    return all;
}

} // namespace

void detach(const Database &db)
{
    places().remove(&db);
}

QString counterName(Database &db)
{
    return db.sharedByCounters() ? CounterTable(db).ownName() : QSysInfo::machineHostName();
}

Result<> attach(Database &db, const QString &path, const QString &serverSchema)
{
    if (db.sharedByCounters())
        return attachServer(db, serverSchema.isEmpty() ? ownSchema(db) : serverSchema);
    // An attached file opens as the store did, which may not create it: a new trail is
    // created on its own connection first.
    if (!QFile::exists(path)) {
        Database created;
        if (!created.open(path, Store::key(), true))
            return failure(created.lastError());
    }
    Statement attach = db.prepare(QStringLiteral("ATTACH DATABASE ? AS audit KEY ?"));
    attach.bindAll({path, QString::fromLatin1(Store::key())});
    if (!attach.run())
        return failure(db.lastError());
    attach = Statement();
    if (!db.exec(QStringLiteral(R"(CREATE TABLE IF NOT EXISTS audit.trail (
            seq INTEGER PRIMARY KEY, time TEXT, operator TEXT, machine INTEGER, kind TEXT,
            details TEXT, hash TEXT))")) ||
        !db.exec(QStringLiteral(R"(CREATE TABLE IF NOT EXISTS main.trail_pending (
            seq INTEGER PRIMARY KEY, time TEXT, operator TEXT, machine INTEGER, kind TEXT,
            details TEXT, hash TEXT))")))
        return failure(db.lastError());
    return {};
}

Result<> append(Database &db, Entry entry)
{
    const Place place = placeOf(db);
    // On a server the lock needs a transaction, and a failed entry must not doom the action's
    // (a server gives up on a whole transaction after one failed statement): the entry is a
    // transaction of its own, inside the action's when there is one.
    std::optional<Transaction> own;
    if (place.server)
        own.emplace(db);
    // Counters writing at once would both chain onto the same last entry: one waits here
    // until the other's transaction ends. Taken last, after the action's own locks.
    if (!db.lockTable(place.table))
        return failure(db.lastError());
    const auto [lastSeq, previous] = newest(db, place);
    entry.seq = lastSeq + 1;
    entry.counter = place.counter;
    entry.hash = hashOf(previous, entry, place.server);
    QVariantList values{entry.seq,  entry.time,    entry.operatorName, entry.machine,
                        entry.kind, entry.details, entry.hash};
    if (place.server)
        values << entry.counter;
    const QString marks = place.server ? QStringLiteral("?,?,?,?,?,?,?,?") : QStringLiteral("?,?,?,?,?,?,?");
    const QString into = place.pending.isEmpty() ? place.table : place.pending;
    auto add = db.cached(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(into, columns(place), marks));
    if (!add->bindAll(values).run()) {
        qCWarning(lcAudit) << "trail entry not written:" << entry.kind << db.lastError();
        return failure(db.lastError());
    }
    if (own && !own->commit())
        return failure(db.lastError());
    return {};
}

QList<Entry> entries(Database &db, const QDateTime &from, const QDateTime &to, const QString &operatorName,
                     int machine, const QString &kind)
{
    const Place place = placeOf(db);
    Statement s =
        db.prepare(QStringLiteral("SELECT %1 FROM %2 AS t").arg(columns(place), source(place)) + QStringLiteral(R"(
        WHERE (?1 = '' OR time >= ?1) AND (?2 = '' OR time <= ?2) AND (?3 = '' OR operator = ?3)
          AND (?4 = 0 OR machine = ?4) AND (?5 = '' OR kind = ?5) ORDER BY seq)"));
    s.bindAll({from.isValid() ? storedDateTime(from) : QString(),
               to.isValid() ? storedDateTime(to) : QString(), operatorName, machine, kind});
    QList<Entry> result;
    while (s.next())
        result.append(read(s, place));
    return result;
}

Result<qint64> verify(Database &db)
{
    const Place place = placeOf(db);
    Statement s =
        db.prepare(QStringLiteral("SELECT %1 FROM %2 AS t ORDER BY seq").arg(columns(place), source(place)));
    QString previous;
    qint64 expected = 1;
    while (s.next()) {
        const Entry e = read(s, place);
        // A gap in the numbers is a deleted entry; a wrong hash a changed or moved one.
        if (e.seq != expected || hashOf(previous, e, place.server) != e.hash)
            return failure(QStringLiteral("第%1条记录起已被改动！").arg(expected));
        previous = e.hash;
        ++expected;
    }
    return expected - 1;
}

QString verificationText(const Result<qint64> &verified)
{
    return verified ? QStringLiteral("记录完整，共%1条").arg(*verified) : verified.error();
}

QString anchor(Database &db)
{
    return newest(db, placeOf(db)).second.left(16);
}

Result<> settle(Database &db)
{
    const Place place = placeOf(db);
    if (place.pending.isEmpty() || !db.isOpen() || db.inTransaction())
        return {};
    {
        auto waiting = db.cached(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(place.pending));
        if (!waiting->next())
            return {};
    }
    Transaction t(db);
    const bool moved =
        db.exec(QStringLiteral("INSERT INTO %2 (%1) SELECT %1 FROM %3 WHERE seq > "
                               "(SELECT coalesce(max(seq), 0) FROM %2) ORDER BY seq")
                    .arg(columns(place), place.table, place.pending)) &&
        db.exec(QStringLiteral("DELETE FROM %1").arg(place.pending)) && t.commit();
    if (!moved) {
        qCWarning(lcAudit) << "trail entries not moved into the trail file:" << db.lastError();
        return failure(db.lastError());
    }
    return {};
}

Recorder::Recorder(Database &db) : m_db(db)
{
    recorders().insert(&db, this);
}

Recorder::~Recorder()
{
    recorders().remove(&m_db);
}

Recorder *Recorder::of(Database &db)
{
    return recorders().value(&db);
}

bool Recorder::append(const QString &kind, int machine, const QString &details, const QString &actor)
{
    if (!m_on)
        return false;
    if (m_missed > 0 && audit::append(m_db, {0,
                                             Clock::now(),
                                             m_operator,
                                             0,
                                             QStringLiteral("记录失败"),
                                             QStringLiteral("%1条操作没有记录下来").arg(m_missed),
                                             {}}))
        m_missed = 0;
    const QString who = actor.isEmpty() ? m_operator : actor;
    if (audit::append(m_db, {0, Clock::now(), who, machine, kind, details, {}})) {
        if (m_written)
            m_written();
        return true;
    }
    if (m_missed++ == 0 && m_notice)
        m_notice();
    return false;
}

} // namespace audit
