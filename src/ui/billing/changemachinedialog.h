#pragma once

#include <QDialog>
#include <memory>

class FrontDesk;

// Moves the running session of the selected machine to an idle machine ("换机管理").
class ChangeMachineDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit ChangeMachineDialog(FrontDesk &desk, QWidget *parent = nullptr);
    ~ChangeMachineDialog() override;

private:
    void confirm();

    struct Private;
    std::unique_ptr<Private> d;
};
