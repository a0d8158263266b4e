#include "weblists.h"

#include "connections.h"
#include "message.h"
#include "store/webtables.h"

QByteArray quickAddressMessage(const QList<QuickAddress> &addresses)
{
    QStringList elements;
    elements.reserve(addresses.size() * 2);
    for (const QuickAddress &a : addresses)
        elements << a.name << a.address;
    return wire::listMessage(QStringLiteral("_http"), {}, elements);
}

QByteArray restrictedSiteMessage(const QList<RestrictedSite> &sites)
{
    QStringList elements;
    elements.reserve(sites.size());
    for (const RestrictedSite &s : sites)
        elements << s.fragment;
    return wire::listMessage(QStringLiteral("_hick"), {}, elements);
}

WebLists::WebLists(Database &db, ConnectionSlots &connections)
    : m_db(db), m_slots(connections),
      m_quick([](Database &db) { return quickAddressMessage(QuickAddressTable(db).all()); }),
      m_restricted([](Database &db) { return restrictedSiteMessage(RestrictedSiteTable(db).all()); })
{
}

void WebLists::SetQuickHttp(int slot)
{
    if (m_slots.isConnected(slot))
        m_slots.send(slot, m_quick.get(m_db));
}

void WebLists::SetHickHttp(int slot)
{
    if (m_slots.isConnected(slot))
        m_slots.send(slot, m_restricted.get(m_db));
}

void WebLists::pushQuickHttp()
{
    m_slots.sendToEvery(m_quick.get(m_db));
}

void WebLists::pushHickHttp()
{
    m_slots.sendToEvery(m_restricted.get(m_db));
}
