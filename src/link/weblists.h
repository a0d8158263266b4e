#pragma once

#include "cachedmessage.h"
#include "store/rows.h"

#include <QByteArray>
#include <QList>

class ConnectionSlots;
class Database;

// The two web-address lists pushed to the client PCs: the quick addresses ("_http": name and
// address of every site) and the restricted site fragments ("_hick"), both whole and in table
// order.
QByteArray quickAddressMessage(const QList<QuickAddress> &addresses);
QByteArray restrictedSiteMessage(const QList<RestrictedSite> &sites);

class WebLists final
{
public:
    WebLists(Database &db, ConnectionSlots &connections);

    // The quick address list to one slot; nothing when it is not connected.
    void SetQuickHttp(int slot);
    // The restricted site list to one slot.
    void SetHickHttp(int slot);
    // To every slot from 0 to the highest (after the lists were edited).
    void pushQuickHttp();
    void pushHickHttp();

private:
    Database &m_db;
    ConnectionSlots &m_slots;
    CachedMessage m_quick;
    CachedMessage m_restricted;
};
