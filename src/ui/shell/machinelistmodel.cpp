#include "machinelistmodel.h"

#include "billing/machinelist.h"
#include "common/clock.h"

#include <QRegularExpression>
#include <algorithm>

std::optional<int> minutesLeft(const QString &dueText, const QDateTime &now)
{
    static const QRegularExpression shape(QStringLiteral("^(\\d{1,2})月(\\d{1,2})日 (\\d{1,2}):(\\d{2})$"));
    const QRegularExpressionMatch m = shape.match(dueText.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QTime time(m.captured(3).toInt(), m.captured(4).toInt());
    std::optional<QDateTime> best;
    // Around new year the time may lie in the year before or after.
    for (int year : {now.date().year() - 1, now.date().year(), now.date().year() + 1}) {
        const QDate date(year, m.captured(1).toInt(), m.captured(2).toInt());
        if (!date.isValid() || !time.isValid())
            continue;
        const QDateTime at(date, time, now.timeSpec());
        if (!best || std::abs(now.secsTo(at)) < std::abs(now.secsTo(*best)))
            best = at;
    }
    if (!best)
        return std::nullopt;
    // Both cut to the minute: a time due at 10:05 has 0 minutes left from 10:05:30.
    const QDateTime from(now.date(), QTime(now.time().hour(), now.time().minute()), now.timeSpec());
    return int(from.secsTo(*best) / 60);
}

DueMark dueMarkFor(std::optional<int> left)
{
    if (!left)
        return DueMark::None;
    if (*left <= 0)
        return DueMark::Due;
    return *left <= kSoonMinutes ? DueMark::Soon : DueMark::None;
}

MachineListModel::MachineListModel(MachineList &list, QObject *parent)
    : QAbstractTableModel(parent), m_list(list)
{
    connect(&m_list, &MachineList::rebuilt, this, [this] {
        beginResetModel();
        m_marks.clear();
        endResetModel();
        refreshDueMarks();
    });
    connect(&m_list, &MachineList::entryChanged, this, [this](int position) {
        if (position >= 1 && position <= m_marks.size())
            m_marks[position - 1] = dueMark(position);
        emit dataChanged(index(position - 1, 0), index(position - 1, columnCount() - 1));
    });
    refreshDueMarks();
}

int MachineListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.count();
}

int MachineListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(MachineList::headers().size());
}

QVariant MachineListModel::data(const QModelIndex &index, int role) const
{
    const MachineList::Entry *e = m_list.at(index.row() + 1);
    if (!e)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? e->text : e->columns.value(index.column());
    case Qt::DecorationRole:
        if (index.column() != 0)
            return {};
        return dueIcon(e->clientGone ? clientGoneIcon(e->icon) : statusIcon(e->icon),
                       dueMark(index.row() + 1));
    case Qt::ToolTipRole: {
        QString tip = m_list.tooltip(index.row() + 1) +
                      (e->clientGone ? QStringLiteral("\n客户端已断开，仍在记费") : QString());
        if (dueMark(index.row() + 1) != DueMark::None)
            tip += QStringLiteral("\n还剩%1分钟").arg(std::max(0, *minutesLeftOf(index.row() + 1)));
        return tip;
    }
    default:
        return {};
    }
}

QVariant MachineListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return MachineList::headers().value(section);
    return {};
}

std::optional<int> MachineListModel::minutesLeftOf(int position) const
{
    const MachineList::Entry *e = m_list.at(position);
    // Only a running session counts down; a paused one is stopped in time.
    if (!e || e->icon != IconBilling)
        return std::nullopt;
    return minutesLeft(e->columns.value(2), Clock::now());
}

DueMark MachineListModel::dueMark(int position) const
{
    return dueMarkFor(minutesLeftOf(position));
}

void MachineListModel::refreshDueMarks()
{
    const int n = m_list.count();
    m_marks.resize(n, DueMark::None);
    for (int position = 1; position <= n; ++position) {
        const DueMark mark = dueMark(position);
        if (mark == m_marks.at(position - 1))
            continue;
        m_marks[position - 1] = mark;
        emit dataChanged(index(position - 1, 0), index(position - 1, 0));
    }
}

QList<int> MachineListModel::dueSoon() const
{
    QList<std::pair<int, int>> marked;
    for (int position = 1; position <= m_list.count(); ++position)
        if (dueMark(position) != DueMark::None)
            marked.append({*minutesLeftOf(position), position});
    std::sort(marked.begin(), marked.end());
    QList<int> positions;
    for (const auto &[left, position] : std::as_const(marked))
        positions.append(position);
    return positions;
}
