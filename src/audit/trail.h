#pragma once

#include "common/result.h"
#include "store/database.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

// The operator trail: every action that moves money or changes what the café charges, kept in
// a file of its own (audit.db, keyed like the store) that is attached to the store's
// connection. An entry is written into the store file in its action's transaction (one file's
// commit is much the cheaper), and settle() moves the entries written so far into audit.db in
// one transaction across both files; until then they are read from where they wait. On a database server
// it is a schema of its own on the same connection, shared by every counter, each entry naming
// the counter that wrote it. Entries are only ever added; each carries the SHA-256 of the one
// before and of its own content, so an entry changed, deleted or moved breaks the chain from
// there on.
namespace audit {

struct Entry
{
    qint64 seq = 0; // 1, 2, 3, … in the order written
    QDateTime time;
    QString operatorName;
    int machine = 0;   // 0: the action concerns no machine
    QString kind;      // what was done, as the trail window lists it ("结帐", "储金卡", …)
    QString details;   // the figures, before and after
    QString hash;      // hex SHA-256 of the previous hash and this entry
    QString counter{}; // the counter that wrote it; on a server only (then part of the hash)
};

// Attaches the trail file at `path` (created when missing) to the store's connection. On a
// server the path is not used: the trail is the table trail of the schema `serverSchema`
// (created when missing), written by the counter counterName() names. Without `serverSchema`
// each café on the server keeps its own: "audit" for the store in the schema public, else
// "<store schema>_audit".
Result<> attach(Database &db, const QString &path, const QString &serverSchema = QString());
// Forgets what attach() noted of a connection that is about to close.
void detach(const Database &db);

// The name of this counter on a server: the application_name of the connection string, else
// the PC's host name.
QString counterName(Database &db);

// Adds an entry (its seq and hash are computed here) inside whatever transaction is open.
Result<> append(Database &db, Entry entry);

// Moves the entries waiting in the store file into the trail file, all or none; nothing to do
// on a server or inside an open transaction. What fails to move stays waiting for the next time.
Result<> settle(Database &db);

// The entries from `from` to `to` (both included; invalid: no bound), oldest first, that
// match the operator, machine and kind given (empty or 0: any).
QList<Entry> entries(Database &db, const QDateTime &from, const QDateTime &to, const QString &operatorName,
                     int machine, const QString &kind);

// Walks the whole chain: the number of entries when every one is intact, else the failure
// names the first entry from which the trail was changed.
Result<qint64> verify(Database &db);
// "记录完整，共N条", or the failure of verify() for the operator.
QString verificationText(const Result<qint64> &verified);

// The first 16 hex digits of the newest hash: printed under reports and bills, so a chain
// written anew no longer matches what is on paper. Empty while the trail is empty.
QString anchor(Database &db);

// Who acts at the desk, and the entries written on its store connection. One per connection;
// the rules, dialogs and the link find it through the connection they write with, so an action
// and its entry are written in one transaction. A trail that cannot be written never stops the
// action: it is logged, said once (the failure notice) and itself recorded at the next entry.
class Recorder final
{
public:
    explicit Recorder(Database &db);
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // The recorder of `db`; none when nobody keeps a trail on that connection.
    static Recorder *of(Database &db);

    // Whether the trail file is attached.
    void setOn(bool on) { m_on = on; }
    bool isOn() const { return m_on; }
    void setOperator(const QString &name) { m_operator = name; }
    const QString &operatorName() const { return m_operator; }
    // Called when an entry cannot be written, once until one can be again.
    void setFailureNotice(std::function<void()> notice) { m_notice = std::move(notice); }
    // Called after each entry written, so its mover knows there is something to settle().
    void setWritten(std::function<void()> written) { m_written = std::move(written); }

    // Adds an entry inside whatever transaction is open, naming `actor` (empty: the operator
    // set); false when it could not be written.
    bool append(const QString &kind, int machine, const QString &details, const QString &actor = QString());

private:
    Database &m_db;
    bool m_on = false;
    QString m_operator;
    std::function<void()> m_notice;
    std::function<void()> m_written;
    int m_missed = 0; // entries that could not be written since the last one that was
};

} // namespace audit
