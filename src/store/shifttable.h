#pragma once

#include "common/takings.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

class Database;

// jbjlb: one shift at one counter, from the login that opened it to its hand-over (交班).
struct Shift
{
    qint64 rowid = 0;
    QString counter;      // 柜台; empty on the file
    QString operatorName; // 操作员: who opened it
    QDateTime start;      // 上班时间
    QDateTime end;        // 交班时间; invalid while the shift is open
    double openingFloat = 0; // 上班备用金: handed over by the shift before
    Takings takings;
    double counted = 0; // 实点现金
    double left = 0;    // 留存备用金: left in the drawer for the next shift

    // 应有现金: what the drawer should hold.
    double expected() const
    {
        return openingFloat + takings.sessionCash + takings.cardSales + takings.counterSales;
    }
    // 差额: counted less expected; below 0 a shortfall.
    double difference() const { return counted - expected(); }
};

class ShiftTable final
{
public:
    explicit ShiftTable(Database &db) : m_db(db) {}

    // The counter's open shift.
    std::optional<Shift> open(const QString &counter);
    // Opens a shift at `counter` for `operatorName`, with the float the last shift handed over;
    // the shift already open when there is one.
    std::optional<Shift> begin(const QString &counter, const QString &operatorName, const QDateTime &when);
    // Adds `takings` to the counter's open shift, opening one first when none is.
    bool add(const QString &counter, const QString &operatorName, const QDateTime &when, const Takings &takings);
    // Hands the shift over: its end, the cash counted and the float left for the next one.
    bool close(qint64 rowid, const QDateTime &when, double counted, double left);
    // Shifts handed over, the latest first.
    QList<Shift> closed();

private:
    Database &m_db;
};
