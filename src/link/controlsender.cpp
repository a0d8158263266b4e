#include "controlsender.h"

#include "connections.h"
#include "linklog.h"

ControlSender::ControlSender(ConnectionSlots &connections, QObject *parent)
    : QObject(parent), m_slots(connections)
{
}

ControlSender::~ControlSender() = default;

bool ControlSender::send(control::SlotRef target, const QList<QByteArray> &messages)
{
    if (!m_slots.isSame(target.slot, target.serial))
        return false;
    Lane &lane = m_lanes[target.slot];
    for (const QByteArray &m : messages)
        lane.queue.emplace_back(target.serial, m);
    if (!lane.timer) {
        lane.timer = std::make_unique<QTimer>();
        lane.timer->setSingleShot(true);
        lane.timer->setInterval(kSpacing);
        const int slot = target.slot;
        connect(lane.timer.get(), &QTimer::timeout, this, [this, slot] { pump(slot); });
    }
    if (!lane.timer->isActive())
        pump(target.slot);
    return true;
}

int ControlSender::waiting(int slot) const
{
    const auto it = m_lanes.find(slot);
    return it == m_lanes.end() ? 0 : int(it->second.queue.size());
}

void ControlSender::pump(int slot)
{
    Lane &lane = m_lanes[slot];
    while (!lane.queue.empty()) {
        const auto [serial, message] = lane.queue.front();
        lane.queue.pop_front();
        if (!m_slots.isSame(slot, serial)) {
            qCWarning(lcLink) << "control message for a closed connection on slot" << slot << "dropped";
            continue;
        }
        m_slots.send(slot, message);
        // The next one waits; so does the next command to this slot, if it comes soon.
        lane.timer->start();
        return;
    }
}
