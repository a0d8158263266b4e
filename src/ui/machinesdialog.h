#pragma once

#include "desk/machineservice.h"

#include <QDialog>

// "计算机设置": adds, changes and deletes the café's machines and sets one rate for all.
// Modal.
class MachinesDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit MachinesDialog(MachineService machines, QWidget *parent = nullptr);
    ~MachinesDialog() override;

signals:
    // Machines were added or changed: rebuild the machine list, same machine selected.
    void machinesChanged();
    // The machine at list position `removal.removed.position` was deleted and the later ones
    // renumbered as `removal.renumbered` says.
    void machineRemoved(const MachineManagement::Removal &removal);

private:
    enum class Mode { Browsing, Adding, Modifying };

    void reload(int selectRow);
    void setMode(Mode mode);
    void modifyOrAbandon();
    void startAdding();
    void save();
    void removeCurrent();
    void setAllRates();

    struct Private;
    Private *d;
};
