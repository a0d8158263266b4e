#pragma once

#include "common/result.h"
#include "reports/reportfoot.h"
#include "reports/reportrequest.h"
#include "serviceoperator.h"
#include "store/machinerow.h"

#include <QList>

class Database;
class QObject;
class ReportJob;

// What the report dialog reads: the period a menu entry proposes, the machines to choose from,
// the report's job, and the trail's hash and clock changes for its foot. Each read asks the
// right of the operator at the desk now.
class ReportService final
{
public:
    ReportService(Database &db, ServiceOperator at);

    ReportPeriod presetPeriod(ReportPreset preset, const QDate &today) const;
    Result<QList<Machine>> machines() const;
    // The job producing report `request`, not yet started, owned by `parent`.
    Result<ReportJob *> job(const ReportRequest &request, QObject *parent) const;
    QString anchor() const;
    // Every clock change the trail holds: few, and one moved back may lie before the period.
    QList<ClockChange> clockChanges() const;

private:
    Database &m_db;
    ServiceOperator m_at;
};
