#pragma once

#include "controlcommands.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <deque>
#include <map>
#include <memory>

class ConnectionSlots;

// Sends the operator's control messages. Messages to one slot leave at least kSpacing apart,
// in order: a client that takes each arrival as one message would otherwise get two commands
// sent in a row as one arrival and carry out only the first. Each message is bound to the
// connection it was meant for; when that connection has closed (and another client may have
// taken its slot), it is dropped.
class ControlSender final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kSpacing = 200; // ms

    explicit ControlSender(ConnectionSlots &connections, QObject *parent = nullptr);
    ~ControlSender() override;

    // Queues `messages` for the target; false (nothing queued) when its connection has gone.
    bool send(control::SlotRef target, const QList<QByteArray> &messages);
    // Messages waiting for their turn on `slot`.
    int waiting(int slot) const;

private:
    struct Lane
    {
        std::deque<std::pair<quint64, QByteArray>> queue;
        std::unique_ptr<QTimer> timer; // running: the slot was sent to less than kSpacing ago
    };
    void pump(int slot);

    ConnectionSlots &m_slots;
    std::map<int, Lane> m_lanes;
};
