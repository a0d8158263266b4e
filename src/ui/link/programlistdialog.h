#pragma once

#include <QDialog>
#include <memory>

class ClientControl;

// "计算机状态": the programs running on one PC, with ending one of them. The PC and its list
// are kept by ClientControl, so they outlast the window.
class ProgramListDialog final : public QDialog
{
    Q_OBJECT

public:
    // With `request` the PC is asked for its list as the window opens.
    ProgramListDialog(ClientControl &control, bool request, QWidget *parent = nullptr);
    ~ProgramListDialog() override;

private:
    void FlashList1();
    void endProgram();

    struct Private;
    std::unique_ptr<Private> d;
};
