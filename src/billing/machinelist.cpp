#include "machinelist.h"

#include "common/formats.h"

StatusIcon iconForStatus(MachineStatus status)
{
    switch (status) {
    case MachineStatus::Billing:
        return IconBilling;
    case MachineStatus::Off:
        return IconOff;
    case MachineStatus::Paused:
        return IconPaused;
    case MachineStatus::Standby:
        return IconStandby;
    case MachineStatus::Unknown:
        break;
    }
    return IconNone;
}

QString tooltipWord(StatusIcon icon)
{
    switch (icon) {
    case IconBilling:
        return QStringLiteral("正在记费中");
    case IconStandby:
        return QStringLiteral("正在待机中");
    case IconOff:
        return QStringLiteral("已经关机");
    default:
        return {};
    }
}

std::optional<EntryColumns> FlashListView(const Machine &machine, const Tariff &tariff, double goodsTotal,
                                          const QDateTime &now)
{
    if (machine.status == MachineStatus::Standby || machine.status == MachineStatus::Off)
        return std::nullopt;
    EntryColumns c;
    if (machine.start.isValid())
        c[1] = formatShortDateTime(machine.start);
    if (machine.due.isValid())
        c[2] = formatShortDateTime(machine.due);
    if (machine.mode == u"P")
        c[3] = QStringLiteral("通宵方式");
    else if (machine.start.isValid())
        c[3] = formatHoursMinutes(sessionMinutes(machine, now));
    const double fee = timeCharge(machine, tariff, now);
    c[5] = formatListMoney(fee);
    if (goodsTotal > 0)
        c[6] = formatListMoney(goodsTotal);
    c[7] = formatListMoney(fee + goodsTotal);
    c[4] = formatListMoney(machine.rate);
    c[8] = machine.customer;
    return c;
}

const QStringList &MachineList::headers()
{
    static const QStringList h = {QStringLiteral("机号"),   QStringLiteral("开机时间"), QStringLiteral("到点时间"),
                                  QStringLiteral("已用时间"), QStringLiteral("单价"),     QStringLiteral("金额"),
                                  QStringLiteral("其他费用"), QStringLiteral("总金额"),   QStringLiteral("用户")};
    return h;
}

MachineList::MachineList(QObject *parent) : QObject(parent) {}

const MachineList::Entry *MachineList::at(int position) const
{
    return position >= 1 && position <= count() ? &m_entries.at(position - 1) : nullptr;
}

MachineList::Entry *MachineList::entry(int position)
{
    return position >= 1 && position <= count() ? &m_entries[position - 1] : nullptr;
}

void MachineList::rebuild(const QList<Machine> &machines, const Tariff &tariff, const QList<double> &goodsTotals,
                          const QDateTime &now)
{
    m_entries.clear();
    m_entries.reserve(machines.size());
    for (int i = 0; i < machines.size(); ++i) {
        const Machine &m = machines.at(i);
        Entry e;
        e.text = m.name;
        e.columns[0] = m.name;
        const StatusIcon icon = iconForStatus(m.status);
        if (icon != IconNone)
            e.icon = icon;
        if (const auto columns = FlashListView(m, tariff, goodsTotals.value(i), now))
            assign(e, *columns);
        m_entries.append(e);
    }
    emit rebuilt();
}

bool MachineList::assign(Entry &e, const EntryColumns &columns)
{
    bool changed = false;
    for (int c = 1; c < 9; ++c) {
        if (columns[c] && e.columns[c] != *columns[c]) {
            e.columns[c] = *columns[c];
            changed = true;
        }
    }
    return changed;
}

void MachineList::apply(int position, const EntryColumns &columns)
{
    Entry *e = entry(position);
    if (e && assign(*e, columns))
        emit entryChanged(position);
}

void MachineList::setIcon(int position, StatusIcon icon)
{
    Entry *e = entry(position);
    if (!e || icon == IconNone || e->icon == icon)
        return;
    e->icon = icon;
    emit entryChanged(position);
}

void MachineList::setClientGone(int position, bool gone)
{
    Entry *e = entry(position);
    if (!e || e->clientGone == gone)
        return;
    e->clientGone = gone;
    emit entryChanged(position);
}

void MachineList::clearColumns(int position)
{
    Entry *e = entry(position);
    if (!e)
        return;
    for (int c = 1; c < 9; ++c)
        e->columns[c].clear();
    emit entryChanged(position);
}

QString MachineList::tooltip(int position) const
{
    const Entry *e = at(position);
    return e ? e->text + QStringLiteral("状态：") + tooltipWord(e->icon) : QString();
}
