#include "weblists.h"

#include "connections.h"
#include "linklog.h"
#include "message.h"
#include "store/database.h"
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

namespace {

const QString kWrongAddress = QStringLiteral("网址错误！");

std::unexpected<QString> storeFailure(Database &db)
{
    qCWarning(lcLink) << "web-address list not written:" << db.lastError();
    return failure(QStringLiteral("网址列表未能保存：") + db.lastError());
}

Result<> checkEntry(const QString &name, const QString &address)
{
    if (name.isEmpty())
        return failure(QStringLiteral("网站名称不能为空！"));
    if (!isQuickAddress(address))
        return failure(kWrongAddress);
    return {};
}

} // namespace

bool isQuickAddress(const QString &address)
{
    return address.left(7).toUpper() == QLatin1String("HTTP://");
}

Result<QuickAddressEdit> addQuickAddress(Database &db, const QString &name, const QString &address,
                                         bool replaceSameName)
{
    if (Result<> ok = checkEntry(name, address); !ok)
        return std::unexpected(ok.error());
    QuickAddressTable table(db);
    if (std::optional<QuickAddress> same = table.byName(name)) {
        if (!replaceSameName)
            return QuickAddressEdit{same->rowid, true};
        same->address = address;
        if (!table.save(*same))
            return storeFailure(db);
        return QuickAddressEdit{same->rowid, false};
    }
    if (!table.add({0, name, address}))
        return storeFailure(db);
    const std::optional<QuickAddress> added = table.byName(name);
    return QuickAddressEdit{added ? added->rowid : 0, false};
}

Result<QuickAddressEdit> changeQuickAddress(Database &db, qint64 rowid, const QString &name,
                                            const QString &address, bool replaceSameName)
{
    if (Result<> ok = checkEntry(name, address); !ok)
        return std::unexpected(ok.error());
    QuickAddressTable table(db);
    if (!table.byRowid(rowid))
        return failure(QStringLiteral("该网站已不存在。"));
    Transaction transaction(db);
    // Every other row with the name, not only the first: names written before they were kept
    // unique may repeat.
    for (const QuickAddress &other : table.all()) {
        if (other.rowid == rowid || other.name != name)
            continue;
        if (!replaceSameName)
            return QuickAddressEdit{other.rowid, true};
        if (!table.remove(other.rowid))
            return storeFailure(db);
    }
    if (!table.save({rowid, name, address}) || !transaction.commit())
        return storeFailure(db);
    return QuickAddressEdit{rowid, false};
}

Result<> removeQuickAddress(Database &db, qint64 rowid)
{
    if (!QuickAddressTable(db).remove(rowid))
        return storeFailure(db);
    return {};
}

Result<qint64> addRestrictedSite(Database &db, const QString &fragment)
{
    if (fragment.trimmed().isEmpty())
        return failure(QStringLiteral("不能添加空的内容，否则所有网站都不可访问。"));
    RestrictedSiteTable table(db);
    if (!table.add({0, fragment}))
        return storeFailure(db);
    const QList<RestrictedSite> all = table.all();
    return all.isEmpty() ? 0 : all.last().rowid;
}

Result<> removeRestrictedSite(Database &db, qint64 rowid)
{
    if (!RestrictedSiteTable(db).remove(rowid))
        return storeFailure(db);
    return {};
}
