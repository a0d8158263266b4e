#pragma once

#include <QAbstractTableModel>

class MachineList;

// Shows the machine list: the entry text with its status icon, and the eight columns.
class MachineListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit MachineListModel(MachineList &list, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    MachineList &m_list;
};
