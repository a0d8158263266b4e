#include "controlcommands.h"

#include "common/numbers.h"
#include "connections.h"
#include "message.h"
#include "store/machinerow.h"

#include <cmath>

namespace control {

namespace {

const QString kRoot = QStringLiteral("&H80000001");
const QString kSystem = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System");
const QString kExplorer = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer");
const QString kWinOldApp =
    QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\WinOldApp");
const QString kNetwork = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network");
const QString kBrowser = QStringLiteral("Software\\Microsoft\\Internet Explorer\\Main");

// A 32-bit registry value.
QByteArray number(const QString &path, const char *name, const char *data)
{
    return registryMessage(path, QString::fromLatin1(name), QStringLiteral("4"), QString::fromLatin1(data));
}

Command sends(const char *text, QList<QByteArray> messages)
{
    return {QString::fromUtf8(text), Kind::Messages, std::move(messages), false};
}

Command opens(const char *text, Kind kind)
{
    return {QString::fromUtf8(text), kind, {}, false};
}

QList<QByteArray> systemSettings(const char *data)
{
    QList<QByteArray> result;
    for (const char *name : {"NoDevMgrPage", "NoConfigPage", "NoFileSysPage", "NoVirtMemPage"})
        result << number(kSystem, name, data);
    return result;
}

QList<Command> buildCommands()
{
    QList<Command> list;
    list << Command{QStringLiteral("关机"), Kind::Messages, {wire::command(QStringLiteral("shutdown"))}, true}
         << Command{QStringLiteral("重新启动"),
                    Kind::Messages,
                    {wire::command(QStringLiteral("reset"))},
                    true}
         << sends("暂停", {wire::command(QStringLiteral("pause"))})
         << sends("禁用注册表编辑器", {number(kSystem, "DisableRegistryTools", "1")})
         << sends("允许使用注册表编辑器", {number(kSystem, "DisableRegistryTools", "0")})
         << opens("发送信息", Kind::SendMessage)
         << sends("禁用MS-DOS方式",
                  {number(kWinOldApp, "NoRealMode", "1"), number(kWinOldApp, "Disabled", "1")})
         << sends("允许MS-DOS方式",
                  {number(kWinOldApp, "NoRealMode", "0"), number(kWinOldApp, "Disabled", "0")})
         << sends("屏蔽开始菜单的关闭系统", {number(kExplorer, "NoClose", "1")})
         << sends("允许开始菜单的关闭系统", {number(kExplorer, "NoClose", "0")})
         << sends("禁用控制面板", {number(kExplorer, "NoSetFolders", "1")})
         << sends("允许控制面板", {number(kExplorer, "NoSetFolders", "0")})
         << sends("屏蔽注销", {number(kExplorer, "NoLogOff", "1")})
         << sends("允许注销", {number(kExplorer, "NoLogOff", "0")})
         // The data goes as the text the client expects, not as a number.
         << sends("屏蔽硬盘", {number(kExplorer, "NoDrives", "&H1D")})
         << sends("显示硬盘", {number(kExplorer, "NoDrives", "&H000000")})
         << sends("禁止使用文件夹选项", {number(kExplorer, "NoFolderOptions", "1")})
         << sends("允许使用文件夹选项", {number(kExplorer, "NoFolderOptions", "0")})
         << sends("禁止设置网络", {number(kNetwork, "NoNetSetup", "1")})
         << sends("允许设置网络", {number(kNetwork, "NoNetSetup", "0")})
         << sends("禁止设置显示属性", {number(kSystem, "NoDispCPL", "1")})
         << sends("允许设置显示属性", {number(kSystem, "NoDispCPL", "0")})
         << sends("禁止系统设置", systemSettings("1")) << sends("允许系统设置", systemSettings("0"))
         << sends("禁止修改桌面", {number(kExplorer, "NoSaveSettings", "1")})
         << sends("允许修改桌面", {number(kExplorer, "NoSaveSettings", "0")})
         << opens("设置IE首页", Kind::StartPage) << opens("设置桌面提示语言", Kind::DesktopText);
    return list;
}

} // namespace

QStringList targetTexts()
{
    return {QStringLiteral("当前所选计算机"), QStringLiteral("所有待机计算机"),
            QStringLiteral("所有记费中的计算机"), QStringLiteral("所有暂停的计算机"),
            QStringLiteral("全部计算机")};
}

QString targetText(Target target)
{
    return targetTexts().value(int(target));
}

std::optional<Target> targetFromText(const QString &text)
{
    const qsizetype i = targetTexts().indexOf(text);
    if (i < 0)
        return std::nullopt;
    return Target(i);
}

QList<SlotRef> resolveTargets(Target target, const QList<Machine> &machines,
                              const std::optional<Machine> &selected, const ConnectionSlots &connections)
{
    QList<SlotRef> result;
    const auto reach = [&](const Machine &m) {
        const int slot = connections.firstSlotOf(m.ip);
        if (slot >= 0)
            result.append({slot, connections.serial(slot)});
    };
    const auto withStatus = [&](MachineStatus status) {
        for (const Machine &m : machines)
            if (m.status == status)
                reach(m);
    };
    switch (target) {
    case Target::Selected:
        if (selected)
            reach(*selected);
        break;
    case Target::Standby:
        withStatus(MachineStatus::Standby);
        break;
    case Target::Billing:
        withStatus(MachineStatus::Billing);
        break;
    case Target::Paused:
        withStatus(MachineStatus::Paused);
        break;
    case Target::All:
        for (int slot = 0; slot < connections.count(); ++slot)
            if (connections.isConnected(slot))
                result.append({slot, connections.serial(slot)});
        break;
    }
    return result;
}

const QList<Command> &commands()
{
    static const QList<Command> list = buildCommands();
    return list;
}

const Command *commandByText(const QString &text)
{
    for (const Command &c : commands())
        if (c.text == text)
            return &c;
    return nullptr;
}

QByteArray registryMessage(const QString &keyPath, const QString &valueName, const QString &type,
                           const QString &data)
{
    return wire::message(QStringLiteral("_ereg"), {kRoot, keyPath, valueName, type, data});
}

QByteArray startPageMessage(const QString &address)
{
    return registryMessage(kBrowser, QStringLiteral("Start Page"), QStringLiteral("1"), address);
}

QByteArray desktopTextMessage(const QString &text)
{
    return wire::message(QStringLiteral("_comm"), {QStringLiteral("settext"), text});
}

QByteArray customerMessage(const QString &text)
{
    return wire::messageBox(text);
}

QByteArray programListRequest()
{
    return wire::message(QStringLiteral("_prog"), {QStringLiteral("get")});
}

QByteArray endProgramRequest(qint64 number)
{
    return wire::message(QStringLiteral("_prog"), {QStringLiteral("close"), QString::number(number)});
}

QList<Program> programsOf(const QStringList &fields)
{
    QList<Program> result;
    for (qsizetype k = 0; k < fields.size(); k += 2) {
        const double value = k + 1 < fields.size() ? roundEven(numberValue(fields[k + 1])) : 0;
        // A number beyond what the client could mean is no program number.
        const qint64 number = std::isfinite(value) && std::abs(value) < 9.0e18 ? qint64(value) : 0;
        result.append({fields[k], number});
    }
    return result;
}

} // namespace control
