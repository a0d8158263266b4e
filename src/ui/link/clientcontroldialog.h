#pragma once

#include "link/clientcontrol.h"
#include "store/machinerow.h"

#include <QDialog>
#include <memory>
#include <optional>

// The message for the customers or the desktop prompt text, to the targets of a choice. One
// dialog at a time: opening it again only changes what it sends and to whom.
class SendMessageDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit SendMessageDialog(ClientControl &control, QWidget *parent = nullptr);
    ~SendMessageDialog() override;

    // `slot` is where "当前所选计算机" sends; the other choices are looked up when sending.
    void setup(ClientControl::TextMode mode, const QString &caption, control::Target target,
               control::SlotRef slot);
    ClientControl::TextMode mode() const;
    control::Target target() const;

private:
    void send();

    struct Private;
    std::unique_ptr<Private> d;
};

// "控制客记机": a command from the list to the PCs of a target choice. Modal.
class ClientControlDialog final : public QDialog
{
    Q_OBJECT

public:
    // `selected` is the machine selected in the machine list.
    ClientControlDialog(ClientControl &control, std::optional<Machine> selected, QWidget *parent = nullptr);
    ~ClientControlDialog() override;

    // The message dialog, once a command opened it.
    SendMessageDialog *messageDialog() const;

private:
    void carryOut();
    void openMessageDialog(const control::Command &command, control::Target target,
                           const QList<control::SlotRef> &targets);
    void viewPrograms();

    struct Private;
    std::unique_ptr<Private> d;
};
