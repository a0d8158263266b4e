#pragma once

#include <QHash>
#include <QSet>
#include <QString>

class ConnectionSlots;
class Database;

// What announcements and closed connections change in the machine table, held back and
// written together: a café's PCs come up (and go down) together, and one commit per PC would
// keep the desk busy for seconds. Whoever reads the machine table calls flush() first.
class PendingWrites final
{
public:
    PendingWrites(Database &db, const ConnectionSlots &connections) : m_db(db), m_slots(connections) {}

    // A client at `address` announced itself as the machine `rowid`.
    void announced(qint64 rowid, const QString &address) { m_announced.insert(rowid, address); }
    // The connection from `address` has gone.
    void closed(const QString &address) { m_closedAddresses.insert(address); }

    // The address announced for machine `rowid` and not written yet; empty when none.
    QString announcedAddress(qint64 rowid) const { return m_announced.value(rowid); }

    bool isEmpty() const { return m_announced.isEmpty() && m_closedAddresses.isEmpty(); }
    // Writes everything held back, in one transaction.
    void flush();

private:
    Database &m_db;
    const ConnectionSlots &m_slots;
    QHash<qint64, QString> m_announced; // machine rowid -> the address announced
    QSet<QString> m_closedAddresses;
};
