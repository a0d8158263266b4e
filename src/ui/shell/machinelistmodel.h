#pragma once

#include "ui/widgets/icons.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <optional>

class MachineList;

// Whole minutes from `now` to a 到点时间 as the list shows it ("M月D日 HH:mm", the year left
// out: the nearest to `now`); none for an empty or unreadable text.
std::optional<int> minutesLeft(const QString &dueText, const QDateTime &now);
// The mark for a billing machine with `left` minutes: due at 0 or less, soon within kSoonMinutes.
DueMark dueMarkFor(std::optional<int> left);
inline constexpr int kSoonMinutes = 5;

// Shows the machine list: the entry text with its status icon, and the eight columns. A
// billing machine near its 到点时间 gets a marked icon and says how long it has left.
class MachineListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit MachineListModel(MachineList &list, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The mark of the entry at a 1-based position as of now, and its minutes left.
    DueMark dueMark(int position) const;
    std::optional<int> minutesLeftOf(int position) const;
    // Time has moved on: repaints the entries whose mark changed.
    void refreshDueMarks();
    // The positions of the billing machines marked, nearest first ("即将到时").
    QList<int> dueSoon() const;

private:
    MachineList &m_list;
    QList<DueMark> m_marks;
};
