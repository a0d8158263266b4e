#include "machinelistmodel.h"

#include "billing/machinelist.h"
#include "icons.h"

MachineListModel::MachineListModel(MachineList &list, QObject *parent) : QAbstractTableModel(parent), m_list(list)
{
    connect(&m_list, &MachineList::rebuilt, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&m_list, &MachineList::entryChanged, this, [this](int position) {
        emit dataChanged(index(position - 1, 0), index(position - 1, columnCount() - 1));
    });
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
        return e->clientGone ? clientGoneIcon(e->icon) : statusIcon(e->icon);
    case Qt::ToolTipRole:
        return m_list.tooltip(index.row() + 1) +
               (e->clientGone ? QStringLiteral("\n客户端已断开，仍在记费") : QString());
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
