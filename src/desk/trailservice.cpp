#include "trailservice.h"

#include "store/database.h"

bool TrailService::namesCounters() const
{
    return m_db.sharedByCounters();
}

QList<audit::Entry> TrailService::entries(const QDateTime &from, const QDateTime &to,
                                          const QString &operatorName, int machine, const QString &kind) const
{
    return audit::entries(m_db, from, to, operatorName, machine, kind);
}

QString TrailService::anchor() const
{
    return audit::anchor(m_db);
}

Result<qint64> TrailService::verify() const
{
    return audit::verify(m_db);
}
