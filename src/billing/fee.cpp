#include "fee.h"

#include "common/clock.h"
#include "common/numbers.h"
#include "common/timeutil.h"
#include "store/goodstables.h"
#include "store/settingstable.h"

#include <algorithm>

Tariff Tariff::from(const std::optional<Settings> &settings)
{
    if (!settings)
        return {};
    return {settings->overnightPrice, settings->minimumCharge, settings->roundingUnit};
}

Tariff Tariff::read(Database &db)
{
    return from(SettingsTable(db).read());
}

double Tariff::raiseAndRound(double fee) const
{
    if (minimumCharge && fee <= *minimumCharge)
        fee = *minimumCharge;
    return roundByUnit(fee, roundingUnit);
}

qint64 sessionMinutes(const Machine &machine, const QDateTime &now)
{
    return machine.start.isValid() ? minutesBetween(machine.start, now) : 0;
}

double timeCharge(const Machine &machine, const Tariff &tariff, const QDateTime &now)
{
    const double fee = machine.mode == u"P" ? tariff.overnightPrice
                                            : double(sessionMinutes(machine, now)) * machine.rate / 60;
    return tariff.raiseAndRound(fee);
}

double CountJF(const Machine &machine, const Tariff &tariff, double goodsTotal, const QDateTime &now)
{
    double fee = tariff.overnightPrice;
    if (machine.mode != u"P") {
        double minutes = double(sessionMinutes(machine, now));
        // A pause without its start moment cannot be measured and is left out.
        if (machine.pauseMinutes > 0 && machine.pauseStart.isValid())
            minutes = (minutes - machine.pauseMinutes) - double(minutesBetween(machine.pauseStart, now));
        fee = minutes * machine.rate / 60;
    }
    fee = tariff.raiseAndRound(fee);
    return roundByUnit(fee + goodsTotal, tariff.roundingUnit);
}

double CountJF(Database &db, const Machine &machine)
{
    return CountJF(machine, Tariff::read(db), OrderTable(db).goodsTotal(machine.number), Clock::now());
}

QList<double> sessionGoods(Database &db, const QList<Machine> &machines)
{
    QList<double> goods(machines.size(), 0);
    if (std::ranges::none_of(machines, &Machine::inSession))
        return goods;
    const QHash<int, double> totals = OrderTable(db).goodsTotals();
    for (qsizetype i = 0; i < machines.size(); ++i)
        if (machines.at(i).inSession())
            goods[i] = totals.value(machines.at(i).number);
    return goods;
}
