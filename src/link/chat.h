#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

class ConnectionSlots;

// The chat relay between the customers at the café PCs. The server keeps a roster of the chat
// names logged in and passes every chat message on to all connections, the sender's too; it
// takes no part in the conversation itself.
class ChatRelay final
{
public:
    struct Entry
    {
        QString name;
        QString extra; // field 3 of the customer's login, passed on to later logins
        bool online = false;
    };

    explicit ChatRelay(ConnectionSlots &connections) : m_slots(connections) {}

    // Handles one "_talk" message received on `slot`.
    void XianShiTalk(const QByteArray &message, int slot);

    // One entry per slot; an entry is taken by a login and freed by a "quit" with its name,
    // never by a closed connection.
    const std::vector<Entry> &roster();

private:
    void login(const QByteArray &message, int slot, const QString &name, const QString &extra);

    ConnectionSlots &m_slots;
    std::vector<Entry> m_roster;
};
