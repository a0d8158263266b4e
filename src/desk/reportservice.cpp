#include "reportservice.h"

#include "audit/trail.h"
#include "reports/reportjob.h"
#include "store/machinetable.h"

ReportService::ReportService(Database &db, ServiceOperator at) : m_db(db), m_at(std::move(at)) {}

ReportPeriod ReportService::presetPeriod(ReportPreset preset, const QDate &today) const
{
    return ::presetPeriod(m_db, preset, today);
}

Result<QList<Machine>> ReportService::machines() const
{
    if (const Result<> ok = m_at.allow(Command::ReportsMenu); !ok)
        return failure(ok.error());
    return MachineTable(m_db).all();
}

Result<ReportJob *> ReportService::job(const ReportRequest &request, QObject *parent) const
{
    if (const Result<> ok = m_at.allow(Command::ReportsMenu); !ok)
        return failure(ok.error());
    return new ReportJob(m_db, request, parent);
}

QString ReportService::anchor() const
{
    return audit::anchor(m_db);
}

QList<ClockChange> ReportService::clockChanges() const
{
    QList<ClockChange> changes;
    for (const audit::Entry &e : audit::entries(m_db, {}, {}, {}, 0, QStringLiteral("系统时间被改动")))
        if (const std::optional<ClockChange> c = clockChangeFrom(e.details))
            changes << *c;
    return changes;
}
