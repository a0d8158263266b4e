#include "clientcontrol.h"

#include "connections.h"
#include "store/machinerow.h"
#include "store/machinetable.h"

using control::SlotRef;

ClientControl::ClientControl(Database &db, ConnectionSlots &connections, std::function<void()> flushPending,
                             QObject *parent)
    : QObject(parent), m_db(db), m_slots(connections), m_flushPending(std::move(flushPending)),
      m_sender(connections)
{
}

QList<SlotRef> ClientControl::targets(control::Target target, const std::optional<Machine> &selected)
{
    if (target == control::Target::All)
        return control::resolveTargets(target, {}, std::nullopt, m_slots);
    // The machines as stored now: a client may have announced itself (a new IP) meanwhile.
    if (m_flushPending)
        m_flushPending();
    MachineTable table(m_db);
    if (target == control::Target::Selected) {
        const std::optional<Machine> now = selected ? table.byRowid(selected->rowid) : std::nullopt;
        return control::resolveTargets(target, {}, now, m_slots);
    }
    return control::resolveTargets(target, table.all(), std::nullopt, m_slots);
}

SlotRef ClientControl::slotOf(const Machine &machine) const
{
    const int slot = m_slots.firstSlotOf(machine.ip);
    return {slot, m_slots.serial(slot)};
}

bool ClientControl::isReachable(SlotRef target) const
{
    return m_slots.isSame(target.slot, target.serial);
}

int ClientControl::carryOut(const control::Command &command, const QList<SlotRef> &targets)
{
    if (command.kind != control::Kind::Messages)
        return 0;
    int reached = 0;
    for (const SlotRef &t : targets)
        reached += m_sender.send(t, command.messages) ? 1 : 0;
    return reached;
}

bool ClientControl::sendStartPage(SlotRef target, const QString &address)
{
    if (address.isEmpty())
        return false;
    return m_sender.send(target, {control::startPageMessage(address)});
}

Result<int> ClientControl::sendText(TextMode mode, const QString &text, const QList<SlotRef> &targets)
{
    if (text.isEmpty())
        return failure(QStringLiteral("所发的信息不能为空！"));
    const QByteArray message =
        mode == TextMode::Message ? control::customerMessage(text) : control::desktopTextMessage(text);
    int reached = 0;
    for (const SlotRef &t : targets)
        reached += m_sender.send(t, {message}) ? 1 : 0;
    return reached;
}

bool ClientControl::requestPrograms()
{
    return m_sender.send(m_programSlot, {control::programListRequest()});
}

bool ClientControl::endProgram(int index)
{
    if (index < 0 || index >= m_programs.size())
        return requestPrograms();
    return m_sender.send(
        m_programSlot, {control::endProgramRequest(m_programs[index].number), control::programListRequest()});
}

void ClientControl::takeProgramList(int slot, const QStringList &fields)
{
    m_programSlot = {slot, m_slots.serial(slot)};
    m_programs = control::programsOf(fields);
    emit programsChanged();
}
