#pragma once

#include "audit/trail.h"
#include "reports/goodsreports.h"
#include "reports/machinetimereport.h"
#include "reports/reportrequest.h"
#include "store/shifttable.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// The web console's pages: plain HTML with its style inline, readable on a phone and on a
// desktop. Every text that comes from the store is escaped here.
namespace webpages {

QString escaped(const QString &text);

// What frames every page: the title, which tab is open, who is logged in. `nonce` marks the
// page's own style and script, the only ones the browser is allowed to run.
struct Frame
{
    QString title;
    QString tab; // "machines", "today", "reports", "trail"; empty on the login page
    QString operatorName;
    QString nonce;
    // A chain's branches, one of which the pages show; no choice with fewer than two.
    QStringList branches{};
    QString branch{};
};
QByteArray page(const Frame &frame, const QString &body);

QString loginBody(const QString &message, const QString &name);

// One machine as the 机器 page shows it.
struct MachineRow
{
    int number = 0;
    QString name;
    QString status; // "记费中", "暂停中", "待机", "关机"
    QString start;  // the list's texts, as the desk shows them
    QString due;
    QString used;
    QString rate;
    QString amount;
    QString goods;
    QString total;
    QString customer;
    QString mark;    // "客户端已断开", "已到点", "即将到点" or empty
    QString counter; // on a database server: the counter holding the PC
};
struct MachinesView
{
    QList<MachineRow> machines;
    QString counts; // "N台记费中 M台暂停中"
    QString updated;
    bool counters = false;
};
QJsonObject machinesJson(const MachinesView &view);
QString machinesBody(const MachinesView &view, const QString &nonce);

QString todayBody(const QDate &today, const MachineTimeReport &sessions, const GoodsSalesReport &goods,
                  const IncomeReport &income, const std::optional<Shift> &shift);

// The 报表 form, filled with `request`; `machines` are (机号, 名称) for the machine choice.
QString reportForm(const ReportRequest &request, const QList<std::pair<int, QString>> &machines,
                   const QString &error);
// The report below the form, with its download links (`query` repeats the request).
QString machineTimeBody(const MachineTimeReport &report, const QDate &today, const QString &query);
QString styledBody(const StyledText &text, const QString &query, bool downloads);

struct TrailFilter
{
    QDate from;
    QDate to;
    QString operatorName;
    int machine = 0;
    QString kind;
};
QString trailBody(const TrailFilter &filter, const QList<audit::Entry> &entries, int shown,
                  const QString &verification, bool intact, const QString &anchor, bool counters);

QString messageBody(const QString &message);

} // namespace webpages
