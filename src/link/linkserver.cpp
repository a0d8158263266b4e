#include "linkserver.h"

#include "deskaccess.h"
#include "linklog.h"
#include "message.h"

#include <QTcpSocket>

LinkServer::LinkServer(DeskAccess &desk, QObject *parent)
    : QObject(parent), m_chat(m_slots), m_lists(desk.db(), m_slots),
      m_requests(desk, m_slots, m_chat, m_lists),
      m_control(desk.db(), m_slots, [this] { m_requests.flushPending(); })
{
    // A café's PCs come up together: let the kernel queue their connections rather than
    // refuse them.
    m_server.setListenBacklogSize(1024);
    connect(&m_server, &QTcpServer::newConnection, this, &LinkServer::acceptPending);
    connect(&m_slots, &ConnectionSlots::messageArrived, &m_requests, &RequestHandler::dispatch);
    connect(&m_slots, &ConnectionSlots::slotClosed, &m_requests, &RequestHandler::connectionClosed);
    connect(&m_slots, &ConnectionSlots::slotClosed, this, [this](int, const QString &address) {
        if (!address.isEmpty() && !hasConnection(address))
            emit addressDisconnected(address);
    });
    connect(&m_requests, &RequestHandler::cardCheckoutApproved, this, &LinkServer::cardCheckoutApproved);
    connect(&m_requests, &RequestHandler::clientGone, this, &LinkServer::clientGone);
    connect(&m_requests, &RequestHandler::notice, this, &LinkServer::notice);
    // The program list takes the arrival first, so that whoever hears it from this server sees it.
    connect(&m_requests, &RequestHandler::programListArrived, &m_control, &ClientControl::takeProgramList);
    connect(&m_requests, &RequestHandler::programListArrived, this, &LinkServer::programListArrived);
}

LinkServer::~LinkServer()
{
    disconnect(&m_server, nullptr, this, nullptr);
}

bool LinkServer::listen(quint16 port)
{
    if (m_server.isListening())
        return true;
    // Both IPv4 and IPv6 clients; a host without IPv6 still takes IPv4 ones.
    if (m_server.listen(QHostAddress::Any, port) || m_server.listen(QHostAddress::AnyIPv4, port))
        return true;
    qCWarning(lcLink) << "cannot listen on port" << port << "-" << m_server.errorString()
                      << "; running without the client link";
    return false;
}

void LinkServer::acceptPending()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        const int slot = m_slots.adopt(socket);
        if (slot < 0) {
            socket->abort();
            socket->deleteLater();
        } else if (const QString address = m_slots.peerAddress(slot); !address.isEmpty()) {
            emit addressConnected(address);
        }
    }
}

bool LinkServer::hasConnection(const QString &ip) const
{
    return m_slots.firstSlotOf(ip) >= 0;
}

bool LinkServer::sendToMachine(const QString &ip, const QByteArray &message)
{
    return m_slots.send(m_slots.firstSlotOf(ip), message);
}

void LinkServer::sendToAddress(const QString &ip, const QByteArray &message, Reach reach)
{
    if (reach == Reach::First) {
        sendToMachine(ip, message);
        return;
    }
    for (int slot : m_slots.slotsOf(ip))
        m_slots.send(slot, message);
}

void LinkServer::SendCommand(const QString &ip, const QString &word, Reach reach)
{
    sendToAddress(ip, wire::command(word), reach);
}

void LinkServer::sendMessageBox(const QString &ip, const QString &text)
{
    sendToAddress(ip, wire::messageBox(text), Reach::First);
}
