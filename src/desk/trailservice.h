#pragma once

#include "audit/trail.h"
#include "common/result.h"

#include <QDateTime>
#include <QList>
#include <QString>

class Database;

// What the trail window reads: the entries that match its filters, the newest hash and the
// check of the whole chain.
class TrailService final
{
public:
    explicit TrailService(Database &db) : m_db(db) {}

    // Several counters write one trail on a server: there each entry names its counter.
    bool namesCounters() const;
    QList<audit::Entry> entries(const QDateTime &from, const QDateTime &to, const QString &operatorName,
                                int machine, const QString &kind) const;
    QString anchor() const;
    Result<qint64> verify() const;

private:
    Database &m_db;
};
