#include "connections.h"

#include "linklog.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

Q_LOGGING_CATEGORY(lcLink, "corvana.link")

namespace {

void setKeepAliveOn(QTcpSocket *socket, const ConnectionSlots::KeepAlive &k)
{
    const qintptr fd = socket->socketDescriptor();
    if (fd < 0)
        return;
    const int on = 1;
    const bool ok =
        setsockopt(int(fd), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
        setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPIDLE, &k.idleSeconds, sizeof k.idleSeconds) == 0 &&
        setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPINTVL, &k.intervalSeconds, sizeof k.intervalSeconds) == 0 &&
        setsockopt(int(fd), IPPROTO_TCP, TCP_KEEPCNT, &k.probes, sizeof k.probes) == 0;
    if (ok)
        return;
    if (const auto note = pcLine("keepalive", socket->peerAddress().toString()))
        qCWarning(lcLink).noquote() << "cannot watch the connection from" << socket->peerAddress().toString()
                                    << "for a vanished peer (keepalive)" << *note;
}

// A timer may be let go from inside its own timeout (a send that found the connection
// broken closes it): it goes when control is back in the event loop.
void letGo(std::unique_ptr<QTimer> &timer)
{
    if (!timer)
        return;
    timer->stop();
    timer.release()->deleteLater();
}

} // namespace

ConnectionSlots::ConnectionSlots(QObject *parent) : QObject(parent)
{
    // Slot 0 exists from the start.
    m_slots.resize(1);
    m_free.insert(0);
    m_clock.start();
    m_pacer.setSingleShot(true);
    // A coarse timer may fire early; the spacing is a lower bound.
    m_pacer.setTimerType(Qt::PreciseTimer);
    connect(&m_pacer, &QTimer::timeout, this, &ConnectionSlots::sendDue);
}

ConnectionSlots::~ConnectionSlots()
{
    // A socket going down must not call back into a half-destroyed owner.
    for (Slot &s : m_slots) {
        if (s.socket) {
            disconnect(s.socket, nullptr, this, nullptr);
            delete s.socket;
        }
    }
}

QString ConnectionSlots::dottedAddress(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

int ConnectionSlots::adopt(QTcpSocket *socket)
{
    int slot;
    if (!m_free.empty()) {
        slot = *m_free.begin();
        m_free.erase(m_free.begin());
    } else if (count() < kMaxSlots) {
        slot = count();
        m_slots.emplace_back();
    } else {
        if (const auto note = pcLine("no-slot", socket->peerAddress().toString()))
            qCWarning(lcLink).noquote()
                << "no free connection slot for" << socket->peerAddress().toString() << *note;
        return -1;
    }

    Slot &s = m_slots[size_t(slot)];
    if (s.socket) {
        disconnect(s.socket, nullptr, this, nullptr);
        s.socket->deleteLater();
    }
    const quint64 serial = m_nextSerial++;
    s.socket = socket;
    s.serial = serial;
    s.address = dottedAddress(socket->peerAddress());
    // A new client has announced nothing yet; it must not see the last client's machine.
    s.machine = 0;
    s.framer = wire::Framer();
    s.heldSince = -1;
    s.rate = MessageRate();
    s.dropLogAsked = 0;
    s.outputDropped = false;
    s.outbox.clear();
    s.outboxBytes = 0;
    s.lastSent = -1;
    // A turn of the last connection on this slot names it, and is passed over.
    s.paced = false;
    // Its callback names the connection it was made for.
    letGo(s.holdTimer);
    ++m_connected;

    QList<int> &same = m_byAddress[s.address];
    same.insert(std::lower_bound(same.begin(), same.end(), slot), slot);

    socket->setParent(this);
    // Bounds what one client can make the server hold; the kernel holds back the rest.
    socket->setReadBufferSize(wire::kMaxMessage);
    // One write, one segment: clients that take each arrival as one message keep working.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    setKeepAliveOn(socket, m_keepAlive);
    connect(socket, &QTcpSocket::readyRead, this, [this, slot, serial] { readFrom(slot, serial); });
    connect(socket, &QTcpSocket::disconnected, this, [this, slot, serial] { closed(slot, serial); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, slot, serial, socket] {
        if (socket->state() == QAbstractSocket::UnconnectedState)
            closed(slot, serial);
    });
    // Data may have come with the connection, before the signals were connected.
    if (socket->bytesAvailable() > 0)
        readFrom(slot, serial);
    if (socket->state() != QAbstractSocket::ConnectedState)
        closed(slot, serial);
    return slot;
}

bool ConnectionSlots::isConnected(int slot) const
{
    return serial(slot) != 0;
}

quint64 ConnectionSlots::serial(int slot) const
{
    return slot >= 0 && slot < count() ? m_slots[size_t(slot)].serial : 0;
}

QString ConnectionSlots::peerAddress(int slot) const
{
    return isConnected(slot) ? m_slots[size_t(slot)].address : QString();
}

QString ConnectionSlots::recordedAddress(int slot) const
{
    return slot >= 0 && slot < count() ? m_slots[size_t(slot)].address : QString();
}

int ConnectionSlots::machineNumber(int slot) const
{
    return slot >= 0 && slot < count() ? m_slots[size_t(slot)].machine : 0;
}

void ConnectionSlots::setMachineNumber(int slot, int number)
{
    if (slot >= 0 && slot < count())
        m_slots[size_t(slot)].machine = number;
}

int ConnectionSlots::firstSlotOf(const QString &ip) const
{
    if (ip.isEmpty())
        return -1;
    const auto it = m_byAddress.constFind(ip);
    return it == m_byAddress.cend() || it->isEmpty() ? -1 : it->first();
}

QList<int> ConnectionSlots::slotsOf(const QString &ip) const
{
    return ip.isEmpty() ? QList<int>() : m_byAddress.value(ip);
}

bool ConnectionSlots::send(int slot, const QByteArray &message)
{
    if (!isConnected(slot))
        return false;
    Slot &s = m_slots[size_t(slot)];
    if (s.socket->bytesToWrite() + s.outboxBytes + message.size() > kMaxPendingOutput) {
        const auto note = s.outputDropped ? std::nullopt : pcLine("not-reading", s.address);
        if (note)
            qCWarning(lcLink).noquote() << "the client at" << s.address << "on slot" << slot
                                        << "does not read what it is sent; messages dropped"
                                        << "(further drops on this connection are not logged)" << *note;
        s.outputDropped = true;
        return false;
    }
    const qint64 now = m_clock.elapsed();
    if (s.outbox.empty() && (s.lastSent < 0 || now - s.lastSent >= kSpacing))
        return write(slot, message);
    s.outbox.push_back(message);
    s.outboxBytes += message.size();
    if (!s.paced)
        pace(slot, s.lastSent + kSpacing);
    return true;
}

void ConnectionSlots::pace(int slot, qint64 at)
{
    Slot &s = m_slots[size_t(slot)];
    s.paced = true;
    m_turns.push({at, slot, s.serial});
    if (m_pacer.isActive() && m_pacerAt <= at)
        return;
    m_pacerAt = at;
    m_pacer.start(int(qMax<qint64>(0, at - m_clock.elapsed())));
}

void ConnectionSlots::sendDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_turns.empty() && m_turns.top().at <= now) {
        const Turn turn = m_turns.top();
        m_turns.pop();
        // The connection has gone (another may hold the slot now).
        if (!isSame(turn.slot, turn.serial))
            continue;
        Slot &s = m_slots[size_t(turn.slot)];
        s.paced = false;
        if (s.outbox.empty())
            continue;
        const QByteArray message = std::move(s.outbox.front());
        s.outbox.pop_front();
        s.outboxBytes -= message.size();
        write(turn.slot, message);
        // A failed write may have closed the connection.
        if (isSame(turn.slot, turn.serial) && !s.outbox.empty()) {
            s.paced = true;
            m_turns.push({s.lastSent + kSpacing, turn.slot, turn.serial});
        }
    }
    if (!m_turns.empty()) {
        m_pacerAt = m_turns.top().at;
        m_pacer.start(int(qMax<qint64>(0, m_pacerAt - m_clock.elapsed())));
    }
}

bool ConnectionSlots::write(int slot, const QByteArray &message)
{
    Slot &s = m_slots[size_t(slot)];
    QTcpSocket *socket = s.socket;
    s.lastSent = m_clock.elapsed();
    // Straight to the kernel while Qt holds nothing for this connection: Qt's own write turns
    // the socket's write notifier on and off for every message, which with a thousand
    // connections in the event loop costs more than the send. What the kernel does not take,
    // and a connection that has broken, go Qt's way, which keeps the order and reports errors.
    qsizetype taken = 0;
    if (socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState) {
        const ssize_t n = ::send(int(socket->socketDescriptor()), message.constData(), size_t(message.size()),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        taken = n > 0 ? qsizetype(n) : 0;
    }
    if (taken == message.size())
        return true;
    const QByteArray rest = taken == 0 ? message : message.mid(taken);
    if (socket->write(rest) != rest.size()) {
        if (const auto note = pcLine("send-failed", s.address))
            qCWarning(lcLink).noquote()
                << "send on slot" << slot << "to" << s.address << "failed:" << socket->errorString() << *note;
        return false;
    }
    socket->flush();
    return true;
}

qint64 ConnectionSlots::pendingOutput(int slot) const
{
    if (!isConnected(slot))
        return 0;
    const Slot &s = m_slots[size_t(slot)];
    return s.socket->bytesToWrite() + s.outboxBytes;
}

qint64 ConnectionSlots::droppedMessages(int slot) const
{
    return slot >= 0 && slot < count() ? m_slots[size_t(slot)].rate.dropped() : 0;
}

void ConnectionSlots::sendToEvery(const QByteArray &message)
{
    // A send may close a slot (a write error), never add one: the count is read each time.
    for (int slot = 0; slot < count(); ++slot)
        send(slot, message);
}

void ConnectionSlots::readFrom(int slot, quint64 serial)
{
    if (!isSame(slot, serial))
        return;
    QTcpSocket *socket = m_slots[size_t(slot)].socket;
    const QByteArray arrival = socket->readAll();
    if (arrival.isEmpty())
        return;
    Slot &s = m_slots[size_t(slot)];
    const int droppedBefore = s.framer.dropped();
    const QList<QByteArray> messages = s.framer.feed(arrival);
    if (s.framer.dropped() > droppedBefore) {
        if (const auto note = pcLine("too-long", s.address))
            qCWarning(lcLink).noquote()
                << "the client at" << s.address << "on slot" << slot << "sent a message longer than"
                << wire::kMaxMessage << "bytes; dropped" << *note;
    }
    armHold(slot, serial);
    deliver(slot, serial, messages);
}

void ConnectionSlots::armHold(int slot, quint64 serial)
{
    Slot &s = m_slots[size_t(slot)];
    if (!s.framer.waiting()) {
        s.heldSince = -1;
        if (s.holdTimer)
            s.holdTimer->stop();
        return;
    }
    const qint64 now = m_clock.elapsed();
    if (s.heldSince < 0)
        s.heldSince = now;
    if (!s.holdTimer) {
        s.holdTimer = std::make_unique<QTimer>();
        s.holdTimer->setSingleShot(true);
        connect(s.holdTimer.get(), &QTimer::timeout, this,
                [this, slot, serial] { holdExpired(slot, serial); });
    }
    // Each arrival gives the rest kHoldIdle more, never beyond kHoldMax in all.
    s.holdTimer->start(int(qBound<qint64>(0, s.heldSince + kHoldMax - now, qint64(kHoldIdle))));
}

void ConnectionSlots::holdExpired(int slot, quint64 serial)
{
    if (!isSame(slot, serial))
        return;
    Slot &s = m_slots[size_t(slot)];
    s.heldSince = -1;
    deliver(slot, serial, s.framer.expire());
}

void ConnectionSlots::deliver(int slot, quint64 serial, const QList<QByteArray> &messages)
{
    for (const QByteArray &m : messages) {
        // A handler's send may have found the connection broken: the rest is not for anyone.
        if (!isSame(slot, serial))
            return;
        Slot &s = m_slots[size_t(slot)];
        switch (s.rate.admit(m_clock.elapsed())) {
        case MessageRate::Verdict::Take:
            emit messageArrived(slot, m);
            break;
        case MessageRate::Verdict::Drop:
            // A flood drops thousands a second: the log is asked once a second at most.
            if (s.rate.dropped() > 1 && m_clock.elapsed() - s.dropLogAsked < 1000)
                break;
            s.dropLogAsked = m_clock.elapsed();
            if (const auto note = pcLine("rate", s.address))
                qCWarning(lcLink).noquote()
                    << "the client at" << s.address << "on slot" << slot << "sends more than"
                    << MessageRate::kPerSecond << "messages a second; dropped so far:" << s.rate.dropped()
                    << *note;
            break;
        case MessageRate::Verdict::Close:
            if (const auto note = pcLine("rate-close", s.address))
                qCWarning(lcLink).noquote()
                    << "the client at" << s.address << "on slot" << slot << "went on sending too fast for"
                    << MessageRate::kCloseAfter << "seconds (" << s.rate.dropped()
                    << "messages dropped); connection closed" << *note;
            s.socket->abort();
            closed(slot, serial);
            return;
        }
    }
}

void ConnectionSlots::closed(int slot, quint64 serial)
{
    if (!isSame(slot, serial))
        return;
    Slot &s = m_slots[size_t(slot)];
    s.serial = 0;
    --m_connected;
    m_free.insert(slot);
    auto it = m_byAddress.find(s.address);
    if (it != m_byAddress.end()) {
        it->removeOne(slot);
        if (it->isEmpty())
            m_byAddress.erase(it);
    }
    if (s.socket->error() == QAbstractSocket::SocketTimeoutError ||
        s.socket->error() == QAbstractSocket::NetworkError)
        if (const auto note = pcLine("stopped-answering", s.address))
            qCWarning(lcLink).noquote()
                << "the client on slot" << slot << "at" << s.address << "stopped answering ("
                << s.socket->errorString() << "); connection closed" << *note;
    disconnect(s.socket, nullptr, this, nullptr);
    s.socket->deleteLater();
    s.socket = nullptr;
    s.framer.reset();
    s.heldSince = -1;
    s.outbox.clear();
    s.outboxBytes = 0;
    s.paced = false;
    letGo(s.holdTimer);
    emit slotClosed(slot, s.address, serial);
}

void ConnectionSlots::renumberMachines(const QHash<int, int> &renumbered)
{
    for (Slot &slot : m_slots) {
        const auto found = renumbered.constFind(slot.machine);
        if (found != renumbered.constEnd())
            slot.machine = found.value();
    }
}
