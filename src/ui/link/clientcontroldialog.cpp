#include "clientcontroldialog.h"

#include "ui/widgets/messages.h"
#include "programlistdialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using control::SlotRef;
using control::Target;

SendMessageDialog::SendMessageDialog(ClientControl &control, QWidget *parent)
    : QDialog(parent), m_control(control), m_text(new QLineEdit(this))
{
    setObjectName(QStringLiteral("sendMessageDialog"));
    m_text->setObjectName(QStringLiteral("messageText"));
    m_text->setMinimumWidth(360);
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
    layout->addWidget(m_text);
    layout->addLayout(buttons);
}

void SendMessageDialog::setup(ClientControl::TextMode mode, const QString &caption, Target target,
                              SlotRef slot)
{
    m_mode = mode;
    m_target = target;
    m_slot = slot;
    setWindowTitle(caption);
}

void SendMessageDialog::send()
{
    const QList<SlotRef> targets =
        m_target == Target::Selected ? QList<SlotRef>{m_slot} : m_control.targets(m_target, std::nullopt);
    const Result<int> sent = m_control.sendText(m_mode, m_text->text(), targets);
    if (!sent) {
        Messages::tell(this, QString(), sent.error(), QMessageBox::Question);
        m_text->setFocus();
        return;
    }
    accept();
}

ClientControlDialog::ClientControlDialog(ClientControl &control, std::optional<Machine> selected,
                                         QWidget *parent)
    : QDialog(parent), m_control(control), m_selected(std::move(selected)), m_targets(new QComboBox(this)),
      m_commands(new QListWidget(this))
{
    setObjectName(QStringLiteral("clientControlDialog"));
    setWindowTitle(QStringLiteral("控制客记机"));

    m_targets->setObjectName(QStringLiteral("targetChoice"));
    m_targets->addItems(control::targetTexts());
    m_commands->setObjectName(QStringLiteral("commandList"));
    for (const control::Command &c : control::commands())
        m_commands->addItem(c.text);
    m_commands->setMinimumSize(260, 420);

    auto *carry = new QPushButton(QStringLiteral("立即执行所选命令"), this);
    carry->setObjectName(QStringLiteral("carryOut"));
    auto *programs = new QPushButton(QStringLiteral("查看当前机程序"), this);
    programs->setObjectName(QStringLiteral("viewPrograms"));
    connect(carry, &QPushButton::clicked, this, &ClientControlDialog::carryOut);
    connect(programs, &QPushButton::clicked, this, &ClientControlDialog::viewPrograms);
    connect(m_commands, &QListWidget::itemDoubleClicked, this, &ClientControlDialog::carryOut);

    auto *targetLabel = new QLabel(QStringLiteral("选择计算机："), this);
    targetLabel->setBuddy(m_targets);
    auto *commandLabel = new QLabel(QStringLiteral("进行下列操作："), this);
    commandLabel->setBuddy(m_commands);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(carry);
    buttons->addWidget(programs);
    buttons->addStretch();
    auto *layout = new QGridLayout(this);
    layout->addWidget(targetLabel, 0, 0);
    layout->addWidget(m_targets, 0, 1);
    layout->addWidget(commandLabel, 1, 0, 1, 2);
    layout->addWidget(m_commands, 2, 0, 1, 2);
    layout->addLayout(buttons, 2, 2);
    setTabOrder(m_targets, m_commands);
    setTabOrder(m_commands, carry);
    setTabOrder(carry, programs);
}

void ClientControlDialog::carryOut()
{
    const std::optional<Target> target = control::targetFromText(m_targets->currentText());
    if (!target)
        return;
    const QListWidgetItem *item = m_commands->currentItem();
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
    const QList<SlotRef> targets = m_control.targets(*target, m_selected);
    switch (command->kind) {
    case control::Kind::Messages:
        m_control.carryOut(*command, targets);
        break;
    case control::Kind::StartPage:
        // Asked for each PC, so each may get its own page.
        for (const SlotRef &t : targets) {
            bool ok = false;
            const QString address =
                Messages::input(this, QString(), QStringLiteral("请输入新的IE首页"), false, &ok);
            if (ok)
                m_control.sendStartPage(t, address);
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
    if (!m_messageDialog)
        m_messageDialog = new SendMessageDialog(m_control, this);
    const auto mode = command.kind == control::Kind::DesktopText ? ClientControl::TextMode::DesktopText
                                                                 : ClientControl::TextMode::Message;
    m_messageDialog->setup(mode, command.text, target, targets.last());
    m_messageDialog->show();
    m_messageDialog->raise();
    m_messageDialog->activateWindow();
}

void ClientControlDialog::viewPrograms()
{
    ProgramListDialog dialog(m_control, true, this);
    dialog.exec();
}
