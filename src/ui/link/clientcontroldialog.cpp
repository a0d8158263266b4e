#include "clientcontroldialog.h"

#include "programlistdialog.h"
#include "ui/widgets/messages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using control::SlotRef;
using control::Target;

struct SendMessageDialog::Private
{
    ClientControl &control;
    ClientControl::TextMode mode = ClientControl::TextMode::Message;
    Target target = Target::Selected;
    SlotRef slot;
    QLineEdit *text = nullptr;
};

SendMessageDialog::SendMessageDialog(ClientControl &control, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(control))
{
    d->text = new QLineEdit(this);
    setObjectName(QStringLiteral("sendMessageDialog"));
    d->text->setObjectName(QStringLiteral("messageText"));
    d->text->setMinimumWidth(360);
    auto *send = new QPushButton(QStringLiteral("发送(&S)"), this);
    send->setObjectName(QStringLiteral("send"));
    send->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(send, &QPushButton::clicked, this, &SendMessageDialog::send);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(send);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->text);
    layout->addLayout(buttons);
}

SendMessageDialog::~SendMessageDialog() = default;

ClientControl::TextMode SendMessageDialog::mode() const
{
    return d->mode;
}

Target SendMessageDialog::target() const
{
    return d->target;
}

void SendMessageDialog::setup(ClientControl::TextMode mode, const QString &caption, Target target,
                              SlotRef slot)
{
    d->mode = mode;
    d->target = target;
    d->slot = slot;
    setWindowTitle(caption);
}

void SendMessageDialog::send()
{
    const QList<SlotRef> targets =
        d->target == Target::Selected ? QList<SlotRef>{d->slot} : d->control.targets(d->target, std::nullopt);
    const Result<int> sent = d->control.sendText(d->mode, d->text->text(), targets);
    if (!sent) {
        Messages::tell(this, QString(), sent.error(), QMessageBox::Question);
        d->text->setFocus();
        return;
    }
    accept();
}

struct ClientControlDialog::Private
{
    ClientControl &control;
    std::optional<Machine> selected;
    QComboBox *targets = nullptr;
    QListWidget *commands = nullptr;
    QPointer<SendMessageDialog> messageDialog;
};

ClientControlDialog::ClientControlDialog(ClientControl &control, std::optional<Machine> selected,
                                         QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(control, std::move(selected)))
{
    d->targets = new QComboBox(this);
    d->commands = new QListWidget(this);
    setObjectName(QStringLiteral("clientControlDialog"));
    setWindowTitle(QStringLiteral("控制客记机"));

    d->targets->setObjectName(QStringLiteral("targetChoice"));
    d->targets->addItems(control::targetTexts());
    d->commands->setObjectName(QStringLiteral("commandList"));
    for (const control::Command &c : control::commands())
        d->commands->addItem(c.text);
    d->commands->setMinimumSize(260, 420);

    auto *carry = new QPushButton(QStringLiteral("立即执行所选命令"), this);
    carry->setObjectName(QStringLiteral("carryOut"));
    auto *programs = new QPushButton(QStringLiteral("查看当前机程序"), this);
    programs->setObjectName(QStringLiteral("viewPrograms"));
    connect(carry, &QPushButton::clicked, this, &ClientControlDialog::carryOut);
    connect(programs, &QPushButton::clicked, this, &ClientControlDialog::viewPrograms);
    connect(d->commands, &QListWidget::itemDoubleClicked, this, &ClientControlDialog::carryOut);

    auto *targetLabel = new QLabel(QStringLiteral("选择计算机："), this);
    targetLabel->setBuddy(d->targets);
    auto *commandLabel = new QLabel(QStringLiteral("进行下列操作："), this);
    commandLabel->setBuddy(d->commands);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(carry);
    buttons->addWidget(programs);
    buttons->addStretch();
    auto *layout = new QGridLayout(this);
    layout->addWidget(targetLabel, 0, 0);
    layout->addWidget(d->targets, 0, 1);
    layout->addWidget(commandLabel, 1, 0, 1, 2);
    layout->addWidget(d->commands, 2, 0, 1, 2);
    layout->addLayout(buttons, 2, 2);
    setTabOrder(d->targets, d->commands);
    setTabOrder(d->commands, carry);
    setTabOrder(carry, programs);
}

ClientControlDialog::~ClientControlDialog() = default;

SendMessageDialog *ClientControlDialog::messageDialog() const
{
    return d->messageDialog;
}

void ClientControlDialog::carryOut()
{
    const std::optional<Target> target = control::targetFromText(d->targets->currentText());
    if (!target)
        return;
    const QListWidgetItem *item = d->commands->currentItem();
    const control::Command *command =
        item && item->isSelected() ? control::commandByText(item->text()) : nullptr;
    if (!command) {
        Messages::tell(this, QString(), QStringLiteral("not select list"), QMessageBox::NoIcon);
        return;
    }
    if (command->needsConfirmation && *target != Target::Selected) {
        const QString question = QStringLiteral("确实要对所选计算机执行“%1”吗？").arg(command->text);
        if (Messages::ask(this, QString(), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
            QMessageBox::Yes)
            return;
    }
    const QList<SlotRef> targets = d->control.targets(*target, d->selected);
    switch (command->kind) {
    case control::Kind::Messages:
        d->control.carryOut(*command, targets);
        break;
    case control::Kind::StartPage:
        // Asked for each PC, so each may get its own page.
        for (const SlotRef &t : targets) {
            bool ok = false;
            const QString address =
                Messages::input(this, QString(), QStringLiteral("请输入新的IE首页"), false, &ok);
            if (ok)
                d->control.sendStartPage(t, address);
        }
        break;
    case control::Kind::SendMessage:
    case control::Kind::DesktopText:
        openMessageDialog(*command, *target, targets);
        break;
    }
}

void ClientControlDialog::openMessageDialog(const control::Command &command, Target target,
                                            const QList<SlotRef> &targets)
{
    if (targets.isEmpty())
        return;
    if (!d->messageDialog)
        d->messageDialog = new SendMessageDialog(d->control, this);
    const auto mode = command.kind == control::Kind::DesktopText ? ClientControl::TextMode::DesktopText
                                                                 : ClientControl::TextMode::Message;
    d->messageDialog->setup(mode, command.text, target, targets.last());
    d->messageDialog->show();
    d->messageDialog->raise();
    d->messageDialog->activateWindow();
}

void ClientControlDialog::viewPrograms()
{
    ProgramListDialog dialog(d->control, true, this);
    dialog.exec();
}
