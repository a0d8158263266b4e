#include "chat.h"

#include "connections.h"
#include "message.h"

#include <algorithm>

const std::vector<ChatRelay::Entry> &ChatRelay::roster()
{
    // The roster grows with the slots and keeps its entries.
    if (m_roster.size() < size_t(m_slots.count()))
        m_roster.resize(size_t(m_slots.count()));
    return m_roster;
}

void ChatRelay::XianShiTalk(const QByteArray &message, int slot)
{
    // The roster reads what is relayed: the sender's message up to its own end.
    QStringList fields = wire::fixedFields(message, wire::kChatFields);
    for (qsizetype k = 0; k < fields.size(); ++k)
        if (fields.at(k).startsWith(u"OK$"))
            std::fill(fields.begin() + k, fields.end(), QString());
    const QString &word = fields.at(0);
    const QString &name = fields.at(1);
    roster();

    if (word == u"login") {
        login(message, slot, name, fields.at(2));
        return;
    }
    if (word != u"talk" && word != u"change" && word != u"quit")
        return;
    const bool quit = word == u"quit";
    const QByteArray relayed = wire::relayedChat(message);
    for (int j = 0; j < m_slots.count(); ++j) {
        if (quit && size_t(j) < m_roster.size() && m_roster[size_t(j)].name == name)
            m_roster[size_t(j)] = Entry();
        m_slots.send(j, relayed);
    }
}

void ChatRelay::login(const QByteArray &message, int slot, const QString &name, const QString &extra)
{
    // A name already on the roster (an empty name included: free entries carry it) is taken:
    // the newcomer hears a login with empty name and extra, nobody else hears anything.
    for (const Entry &e : m_roster) {
        if (e.name == name) {
            m_slots.send(slot, wire::message(QStringLiteral("_talk"), {QStringLiteral("login"), {}, {}}));
            return;
        }
    }
    for (Entry &e : m_roster) {
        if (!e.online) {
            e = Entry{name, extra, true};
            break;
        }
    }
    const QByteArray relayed = wire::relayedChat(message);
    for (int j = 0; j < m_slots.count(); ++j) {
        if (size_t(j) < m_roster.size()) {
            const Entry &e = m_roster[size_t(j)];
            if (e.online && !e.name.isEmpty() && e.name != name)
                m_slots.send(
                    slot, wire::message(QStringLiteral("_talk"), {QStringLiteral("login"), e.name, e.extra}));
        }
        m_slots.send(j, relayed);
    }
}
