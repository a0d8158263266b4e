#pragma once

#include "store/machinerow.h"
#include "store/settingsrow.h"

#include <optional>

class Database;

// The tariff part of the settings as the fee rules read it. A missing settings row reads as
// no overnight price, no minimum charge and rounding to whole yuan.
struct Tariff
{
    double overnightPrice = 0;
    std::optional<double> minimumCharge;
    double roundingUnit = 0;

    static Tariff from(const std::optional<Settings> &settings);
    static Tariff read(Database &db);

    // Raises a machine-time fee to the minimum charge, then rounds it by the unit.
    double raiseAndRound(double fee) const;
};

// Minutes of the session from its start to `now` (0 without a start), pause not deducted.
qint64 sessionMinutes(const Machine &machine, const QDateTime &now);

// The machine-time charge as the machine list and the bill show it: the overnight price, or
// the elapsed minutes at the hourly rate; raised to the minimum and rounded. No pause is
// deducted.
double timeCharge(const Machine &machine, const Tariff &tariff, const QDateTime &now);

// The amount due for the machine's session: machine time (pause deducted) raised to the
// minimum and rounded, plus the goods at their exact price, rounded again.
double CountJF(const Machine &machine, const Tariff &tariff, double goodsTotal, const QDateTime &now);
// The same, reading the settings and the machine's goods from the store, at the clock's now.
double CountJF(Database &db, const Machine &machine);

// Each machine's goods total, 0 for one out of session: all in one read, none while no machine
// is in session.
QList<double> sessionGoods(Database &db, const QList<Machine> &machines);
