#pragma once

#include "link/clientlink.h"
#include "chat.h"
#include "clientcontrol.h"
#include "connections.h"
#include "requests.h"
#include "weblists.h"

#include <QObject>
#include <QTcpServer>

class DeskAccess;

// The server side of the client link: listens on port 14914 (all local addresses, IPv4 and
// IPv6), keeps the connection slots, hands every client message to the request handler and
// offers the sends that billing, the control commands and the list dialogs use.
class LinkServer final : public QObject, public ClientLink
{
    Q_OBJECT

public:
    static constexpr quint16 kPort = 14914;

    explicit LinkServer(DeskAccess &desk, QObject *parent = nullptr);
    ~LinkServer() override;

    // Opens the listener; false (logged) when the port cannot be had: the desk then runs
    // without the client link. Port 0 takes any free port (see port()).
    bool listen(quint16 port = kPort);
    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }

    // ClientLink
    bool hasConnection(const QString &ip) const override;
    void SendCommand(const QString &ip, const QString &word, Reach reach = Reach::First) override;
    void sendMessageBox(const QString &ip, const QString &text) override;
    // Writes at once what announcements and closed connections changed (they are written
    // together, see PendingWrites).
    void flushPending() override { m_requests.flushPending(); }
    // The store was replaced by another file (a restore); see RequestHandler::storeReplaced.
    void storeReplaced() { m_requests.storeReplaced(); }

    // Slots, by number.
    int slotCount() const { return m_slots.count(); }
    int connectionCount() const { return m_slots.connectedCount(); }
    bool isConnected(int slot) const { return m_slots.isConnected(slot); }
    bool sendToSlot(int slot, const QByteArray &message) { return m_slots.send(slot, message); }
    qint64 pendingOutput(int slot) const { return m_slots.pendingOutput(slot); }
    // Messages from the slot's PC dropped for coming too fast.
    qint64 droppedMessages(int slot) const { return m_slots.droppedMessages(slot); }
    // The live peer address of a slot ("" when not connected) and the recorded one.
    QString peerAddress(int slot) const { return m_slots.peerAddress(slot); }
    QString recordedAddress(int slot) const { return m_slots.recordedAddress(slot); }
    // The machine number the client on the slot announced (0 before any announcement).
    int machineNumber(int slot) const { return m_slots.machineNumber(slot); }
    // Machines were deleted and renumbered (old → new; a deleted one → 0).
    void renumberMachines(const QHash<int, int> &renumbered) { m_slots.renumberMachines(renumbered); }
    // The first connected slot whose peer address is `ip`, -1 when there is none.
    int slotOf(const QString &ip) const { return m_slots.firstSlotOf(ip); }
    // A message to the machine's client (the first connected slot with its address).
    bool sendToMachine(const QString &ip, const QByteArray &message);
    // A message to the first or every connected slot with the address `ip`.
    void sendToAddress(const QString &ip, const QByteArray &message, Reach reach);

    // The web-address lists to one slot, or to every slot after the lists were edited.
    void SetQuickHttp(int slot) { m_lists.SetQuickHttp(slot); }
    void SetHickHttp(int slot) { m_lists.SetHickHttp(slot); }
    void pushQuickHttp() { m_lists.pushQuickHttp(); }
    void pushHickHttp() { m_lists.pushHickHttp(); }

    const std::vector<ChatRelay::Entry> &chatRoster() { return m_chat.roster(); }

    // Keepalive times for connections accepted from now on (tests shorten them).
    void setKeepAlive(const ConnectionSlots::KeepAlive &keepAlive) { m_slots.setKeepAlive(keepAlive); }
    // Whether the machines at `ip` lost their client while billing or paused, and no PC of
    // that address has announced itself since (see clientGone()).
    bool isClientGone(const QString &ip) const { return m_requests.isClientGone(ip); }

    // The operator's control commands, messages and the program list of a PC.
    ClientControl &control() { return m_control; }

signals:
    // A PC at `ip` connected; the last connection from `ip` closed.
    void addressConnected(const QString &ip);
    void addressDisconnected(const QString &ip);
    // The last connection of the billing or paused machine at `position` closed (or was found
    // dead): `gone`; a PC at that machine's address announced itself again: not `gone`.
    void clientGone(int position, bool gone);
    // The operator agreed that the client of the machine at `position` settles with a card.
    void cardCheckoutApproved(int position, const QString &card, const QString &password);
    // A client sent the list of its running programs: (title, number) pairs.
    void programListArrived(int slot, const QStringList &titlesAndNumbers);
    // Something the operator should see in the status bar.
    void notice(const QString &text);

private:
    void acceptPending();

    QTcpServer m_server;
    ConnectionSlots m_slots;
    ChatRelay m_chat;
    WebLists m_lists;
    RequestHandler m_requests;
    ClientControl m_control;
};
