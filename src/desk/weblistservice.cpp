#include "weblistservice.h"

#include "common/commandpath.h"
#include "link/linkserver.h"
#include "store/webtables.h"

WebListService::WebListService(Database &db, CommandPath &commands, LinkServer *link)
    : m_db(db), m_commands(commands), m_link(link)
{
}

QList<QuickAddress> WebListService::quickAddresses() const
{
    return QuickAddressTable(m_db).all();
}

Result<QuickAddressEdit> WebListService::addQuickAddress(const QString &name, const QString &address,
                                                         bool replaceSameName)
{
    return m_commands.run({}, [&] { return ::addQuickAddress(m_db, name, address, replaceSameName); });
}

Result<QuickAddressEdit> WebListService::changeQuickAddress(qint64 rowid, const QString &name,
                                                            const QString &address, bool replaceSameName)
{
    return m_commands.run({},
                          [&] { return ::changeQuickAddress(m_db, rowid, name, address, replaceSameName); });
}

Result<> WebListService::removeQuickAddress(qint64 rowid)
{
    return m_commands.run({}, [&] { return ::removeQuickAddress(m_db, rowid); });
}

QList<RestrictedSite> WebListService::restrictedSites() const
{
    return RestrictedSiteTable(m_db).all();
}

Result<qint64> WebListService::addRestrictedSite(const QString &fragment)
{
    return m_commands.run({}, [&] { return ::addRestrictedSite(m_db, fragment); });
}

Result<> WebListService::removeRestrictedSite(qint64 rowid)
{
    return m_commands.run({}, [&] { return ::removeRestrictedSite(m_db, rowid); });
}

void WebListService::pushQuickAddresses()
{
    if (m_link)
        m_link->pushQuickHttp();
}

void WebListService::pushRestrictedSites()
{
    if (m_link)
        m_link->pushHickHttp();
}
