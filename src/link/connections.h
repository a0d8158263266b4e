#pragma once

#include "message.h"
#include "messagerate.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <memory>
#include <queue>
#include <set>
#include <vector>

class QHostAddress;
class QTcpSocket;

// The numbered connection slots of the client link and the connection table kept alongside:
// for every slot the peer address recorded when the connection was accepted and the machine
// number the client announced. A new connection takes the lowest slot that is not connected;
// slots are never removed. Every lookup of a machine's connection considers connected slots
// only. Messages to one connection leave at least kSpacing apart: a client that takes each
// arrival as one message would otherwise get two of them glued and lose the second; one
// pacing timer serves every connection that has messages waiting. What a
// client sends is held until its end mark arrives (see wire::Framer), and what it may send is
// limited per connection (see MessageRate).
class ConnectionSlots final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxSlots = 32768;
    // What may wait to be sent to one client. A client that stops reading loses the messages
    // beyond this instead of making the desk hold them.
    static constexpr qint64 kMaxPendingOutput = 1024 * 1024;
    // Between two messages to one connection.
    static constexpr int kSpacing = 50; // ms
    // How long bytes without an end mark wait for the rest: kHoldIdle after the last
    // arrival, kHoldMax after the first; then they are taken as one message.
    static constexpr int kHoldIdle = 1000; // ms
    static constexpr int kHoldMax = 2000;  // ms

    // TCP keepalive on every connection: a PC that vanished without closing (cable pulled,
    // power cut) is found after idle + interval × probes seconds and its connection closes.
    struct KeepAlive
    {
        int idleSeconds = 60;
        int intervalSeconds = 10;
        int probes = 3;
    };

    explicit ConnectionSlots(QObject *parent = nullptr);
    ~ConnectionSlots() override;

    // Puts an accepted connection on the lowest free slot and returns the slot; -1 when every
    // possible slot is taken (the socket is then left to the caller).
    int adopt(QTcpSocket *socket);

    // For connections accepted from now on.
    void setKeepAlive(const KeepAlive &keepAlive) { m_keepAlive = keepAlive; }
    const KeepAlive &keepAlive() const { return m_keepAlive; }

    // Highest slot number + 1.
    int count() const { return int(m_slots.size()); }
    int connectedCount() const { return m_connected; }
    bool isConnected(int slot) const;
    // Names the connection on a slot, so that an answer arriving later can tell whether the
    // client it belongs to is still there. 0 for a slot that is not connected.
    quint64 serial(int slot) const;
    bool isSame(int slot, quint64 serial) const { return serial != 0 && this->serial(slot) == serial; }

    // The live peer address (dotted decimal); empty when the slot is not connected.
    QString peerAddress(int slot) const;
    // The peer address recorded in the connection table; kept after the connection closes.
    QString recordedAddress(int slot) const;
    int machineNumber(int slot) const;
    void setMachineNumber(int slot, int number);
    // After machines were deleted and renumbered: every slot's machine number found in
    // `renumbered` (old → new) takes its new number, once.
    void renumberMachines(const QHash<int, int> &renumbered);

    // The lowest connected slot whose peer address is `ip` (never for an empty address), -1.
    int firstSlotOf(const QString &ip) const;
    QList<int> slotsOf(const QString &ip) const;

    // Sends one message on a slot in one write, at once or kSpacing after the one before;
    // false when the slot is not connected or its client has kMaxPendingOutput bytes still to
    // read.
    bool send(int slot, const QByteArray &message);
    // Bytes for the slot that its client has not taken yet (beyond the kernel's), those
    // waiting for their turn included.
    qint64 pendingOutput(int slot) const;
    // Messages from the slot's connection dropped for coming too fast.
    qint64 droppedMessages(int slot) const;
    // Sends to slots 0 to the highest; slots without a connection are skipped.
    void sendToEvery(const QByteArray &message);

    // "a.b.c.d" for IPv4 peers, also when they reach a dual-stack listener as ::ffff:a.b.c.d.
    static QString dottedAddress(const QHostAddress &address);

signals:
    // One complete message from the client on `slot`, end mark removed.
    void messageArrived(int slot, const QByteArray &message);
    // The connection on `slot` has gone; `address` is the peer address recorded for it and
    // `serial` what named it while it lasted.
    void slotClosed(int slot, const QString &address, quint64 serial);

private:
    struct Slot
    {
        QTcpSocket *socket = nullptr;
        quint64 serial = 0; // 0: not connected
        QString address;
        int machine = 0;
        wire::Framer framer;
        qint64 heldSince = -1; // when the framer began to wait for the rest of a message
        MessageRate rate;
        qint64 dropLogAsked = 0; // when a drop was last put to the log limit
        bool outputDropped = false;
        std::deque<QByteArray> outbox; // waiting for kSpacing to pass
        qint64 outboxBytes = 0;
        qint64 lastSent = -1;
        bool paced = false; // the connection has its turn in m_turns
        // Created with the slot's first use of it.
        std::unique_ptr<QTimer> holdTimer;
    };

    // When a connection's next waiting message may leave.
    struct Turn
    {
        qint64 at;
        int slot;
        quint64 serial;
        bool operator>(const Turn &o) const { return at != o.at ? at > o.at : slot > o.slot; }
    };

    void readFrom(int slot, quint64 serial);
    void holdExpired(int slot, quint64 serial);
    // Hands messages to the handlers, as far as the connection's rate allows.
    void deliver(int slot, quint64 serial, const QList<QByteArray> &messages);
    void armHold(int slot, quint64 serial);
    bool write(int slot, const QByteArray &message);
    void pace(int slot, qint64 at);
    void sendDue();
    void closed(int slot, quint64 serial);

    std::vector<Slot> m_slots;
    std::set<int> m_free;                   // slots that are not connected, lowest first
    QHash<QString, QList<int>> m_byAddress; // connected slots by peer address, ascending
    KeepAlive m_keepAlive;
    // Earliest first. A timer per connection would make a chat relay to a thousand PCs a
    // thousand timer events each kSpacing.
    std::priority_queue<Turn, std::vector<Turn>, std::greater<>> m_turns;
    QTimer m_pacer;
    qint64 m_pacerAt = -1; // when m_pacer, while active, fires
    QElapsedTimer m_clock; // steady: spacing, holds and rates
    quint64 m_nextSerial = 1;
    int m_connected = 0;
};
