#pragma once

#include "desk/machineservice.h"
#include "ui/widgets/recorddialog.h"

#include <memory>

// "计算机设置": adds, changes and deletes the café's machines and sets one rate for all.
// Modal.
class MachinesDialog final : public RecordDialog
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
    QList<QStringList> loadRows() override;
    void showRow(int row) override;
    bool prepareAdding() override;
    QWidget *firstField() const override;
    void saveRecord(bool adding, int row) override;
    void removeRecord(int row) override;
    void modeChanged(Mode mode) override;
    void setAllRates();

    struct Private;
    std::unique_ptr<Private> d;
};
