#include "connections.h"

#include "linklog.h"

#include <QHostAddress>
#include <QTcpSocket>
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
    if (!ok)
        qCWarning(lcLink) << "cannot watch the connection from" << socket->peerAddress().toString()
                          << "for a vanished peer (keepalive)";
}

} // namespace

ConnectionSlots::ConnectionSlots(QObject *parent) : QObject(parent)
{
    // Slot 0 exists from the start.
    m_slots.resize(1);
    m_free.insert(0);
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
        qCWarning(lcLink) << "no free connection slot for" << socket->peerAddress().toString();
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
    s.outputDropped = false;
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
    QTcpSocket *socket = s.socket;
    if (socket->bytesToWrite() + message.size() > kMaxPendingOutput) {
        if (!s.outputDropped)
            qCWarning(lcLink) << "slot" << slot << "does not read what it is sent; messages dropped"
                              << "(further drops on this connection are not logged)";
        s.outputDropped = true;
        return false;
    }
    if (socket->write(message) != message.size()) {
        qCWarning(lcLink) << "send on slot" << slot << "failed:" << socket->errorString();
        return false;
    }
    socket->flush();
    return true;
}

qint64 ConnectionSlots::pendingOutput(int slot) const
{
    return isConnected(slot) ? m_slots[size_t(slot)].socket->bytesToWrite() : 0;
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
    const QList<QByteArray> messages = s.framer.feed(arrival, arrival.size() >= wire::kMaxMessage);
    // Once per connection is enough to tell what happened.
    if (droppedBefore == 0 && s.framer.dropped() > 0)
        qCWarning(lcLink) << "slot" << slot << "sent a message longer than" << wire::kMaxMessage
                          << "bytes; dropped (further drops on this connection are not logged)";
    for (const QByteArray &m : messages) {
        // A handler's send may have found the connection broken: the rest is not for anyone.
        if (!isSame(slot, serial))
            return;
        emit messageArrived(slot, m);
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
        qCWarning(lcLink) << "the client on slot" << slot << "at" << s.address << "stopped answering ("
                          << s.socket->errorString() << "); connection closed";
    disconnect(s.socket, nullptr, this, nullptr);
    s.socket->deleteLater();
    s.socket = nullptr;
    s.framer.reset();
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
