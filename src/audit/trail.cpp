#include "trail.h"

#include "common/formats.h"
#include "store/database.h"
#include "store/store.h"

#include "common/clock.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcAudit, "corvana.audit")

namespace audit {

namespace {

const QString kColumns = QStringLiteral(R"(seq, time, operator, machine, kind, details, hash)");

QString hashOf(const QString &previous, const Entry &e)
{
    // Fields are separated by a unit separator, which no typed text contains.
    const QString content = QStringList{previous,
                                        QString::number(e.seq),
                                        storedDateTime(e.time),
                                        e.operatorName,
                                        QString::number(e.machine),
                                        e.kind,
                                        e.details}
                                .join(QChar(0x1f));
    return QString::fromLatin1(QCryptographicHash::hash(content.toUtf8(), QCryptographicHash::Sha256).toHex());
}

Entry read(const Statement &s)
{
    Entry e;
    e.seq = s.integer(0);
    e.time = s.dateTime(1);
    e.operatorName = s.text(2);
    e.machine = int(s.integer(3));
    e.kind = s.text(4);
    e.details = s.text(5);
    e.hash = s.text(6);
    return e;
}

// The connections that keep a trail, all on the program's one thread.
QHash<const Database *, Recorder *> &recorders()
{
    static QHash<const Database *, Recorder *> all;
    return all;
}

} // namespace

Result<> attach(Database &db, const QString &path)
{
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
            details TEXT, hash TEXT))")))
        return failure(db.lastError());
    return {};
}

Result<> append(Database &db, Entry entry)
{
    auto last = db.cached(QStringLiteral("SELECT seq, hash FROM audit.trail ORDER BY seq DESC LIMIT 1"));
    QString previous;
    entry.seq = 1;
    if (last->next()) {
        entry.seq = last->integer(0) + 1;
        previous = last->text(1);
    }
    entry.hash = hashOf(previous, entry);
    auto add = db.cached(QStringLiteral("INSERT INTO audit.trail (") + kColumns +
                         QStringLiteral(") VALUES (?,?,?,?,?,?,?)"));
    if (!add->bindAll({entry.seq, entry.time, entry.operatorName, entry.machine, entry.kind, entry.details,
                       entry.hash})
             .run()) {
        qCWarning(lcAudit) << "trail entry not written:" << entry.kind << db.lastError();
        return failure(db.lastError());
    }
    return {};
}

QList<Entry> entries(Database &db, const QDateTime &from, const QDateTime &to, const QString &operatorName,
                     int machine, const QString &kind)
{
    Statement s = db.prepare(QStringLiteral("SELECT ") + kColumns + QStringLiteral(R"( FROM audit.trail
        WHERE (?1 IS NULL OR time >= ?1) AND (?2 IS NULL OR time <= ?2) AND (?3 = '' OR operator = ?3)
          AND (?4 = 0 OR machine = ?4) AND (?5 = '' OR kind = ?5) ORDER BY seq)"));
    s.bindAll({from.isValid() ? QVariant(storedDateTime(from)) : QVariant(),
               to.isValid() ? QVariant(storedDateTime(to)) : QVariant(), operatorName, machine, kind});
    QList<Entry> result;
    while (s.next())
        result.append(read(s));
    return result;
}

Result<qint64> verify(Database &db)
{
    Statement s = db.prepare(QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM audit.trail ORDER BY seq"));
    QString previous;
    qint64 expected = 1;
    while (s.next()) {
        const Entry e = read(s);
        // A gap in the numbers is a deleted entry; a wrong hash a changed or moved one.
        if (e.seq != expected || hashOf(previous, e) != e.hash)
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
    auto last = db.cached(QStringLiteral("SELECT hash FROM audit.trail ORDER BY seq DESC LIMIT 1"));
    return last->next() ? last->text(0).left(16) : QString();
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

bool Recorder::append(const QString &kind, int machine, const QString &details)
{
    if (!m_on)
        return false;
    auto entry = [&](const QString &k, int m, const QString &d) {
        return audit::append(m_db, {0, Clock::now(), m_operator, m, k, d, {}});
    };
    if (m_missed > 0 && entry(QStringLiteral("记录失败"), 0, QStringLiteral("%1条操作没有记录下来").arg(m_missed)))
        m_missed = 0;
    if (entry(kind, machine, details))
        return true;
    if (m_missed++ == 0 && m_notice)
        m_notice();
    return false;
}

void record(Database &db, const QString &kind, int machine, const QString &details)
{
    Recorder *r = Recorder::of(db);
    if (!r)
        return;
    Transaction t(db);
    if (r->append(kind, machine, details))
        t.commit();
}

} // namespace audit
