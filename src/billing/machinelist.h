#pragma once

#include "fee.h"
#include "store/machinerow.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <array>

// Icons of the machine list, by their place in its image list.
enum StatusIcon { IconNone = 0, IconOff = 2, IconBilling = 3, IconPaused = 4, IconStandby = 5 };

// The icon for a status; IconNone for an unknown one (the entry keeps its icon).
StatusIcon iconForStatus(MachineStatus status);
// The tooltip word of an icon ("正在记费中", "正在待机中", "已经关机"; none for paused).
QString tooltipWord(StatusIcon icon);

// New texts for columns 1 to 8 of a list entry; an empty optional keeps the old text.
using EntryColumns = std::array<std::optional<QString>, 9>;

// The texts of a list entry for the machine's session. Nothing for a standby or off machine:
// its entry keeps whatever it showed.
std::optional<EntryColumns> FlashListView(const Machine &machine, const Tariff &tariff, double goodsTotal,
                                          const QDateTime &now);

// The machine list's contents: one entry per machine in table order, its text, icon and the
// nine column texts (0 is the entry text). The main window shows it; the client link reads
// it for a client's session figures.
class MachineList final : public QObject
{
    Q_OBJECT

public:
    struct Entry
    {
        QString text;
        StatusIcon icon = IconOff;
        QStringList columns = QStringList(9);
        // The machine is in session and its PC has dropped off the link.
        bool clientGone = false;
    };

    static const QStringList &headers();

    explicit MachineList(QObject *parent = nullptr);

    int count() const { return int(m_entries.size()); }
    // Entry at a 1-based position; nullptr when there is none.
    const Entry *at(int position) const;

    // Empties the list and adds one entry per machine, each refreshed.
    void rebuild(const QList<Machine> &machines, const Tariff &tariff, const QList<double> &goodsTotals,
                 const QDateTime &now);
    void apply(int position, const EntryColumns &columns);
    void setIcon(int position, StatusIcon icon);
    // Empties columns 1 to 8 (after a checkout).
    void clearColumns(int position);
    void setClientGone(int position, bool gone);
    // The tooltip text of an entry: its text, "状态：" and the word of its icon.
    QString tooltip(int position) const;

signals:
    void rebuilt();
    void entryChanged(int position);

private:
    Entry *entry(int position);
    // Writes the given columns into the entry; true when a text changed.
    static bool assign(Entry &e, const EntryColumns &columns);
    QList<Entry> m_entries;
};
