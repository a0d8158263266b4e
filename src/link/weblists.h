#pragma once

#include "cachedmessage.h"
#include "common/result.h"
#include "store/webrows.h"

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
    // The store was replaced: the lists are built anew from it.
    void forget()
    {
        m_quick.forget();
        m_restricted.forget();
    }

private:
    Database &m_db;
    ConnectionSlots &m_slots;
    CachedMessage m_quick;
    CachedMessage m_restricted;
};

// Editing the lists, as the operator does in their dialogs. Every change is written at once;
// the clients learn it when the dialog closes (pushQuickHttp / pushHickHttp) or when they next
// announce themselves.

// An address the quick list takes: it starts with "http://" in any letter case.
bool isQuickAddress(const QString &address);

// What an edit of the quick list did: the row written, or, when another row already has the
// name and `replaceSameName` was not given, that row (nothing written; ask the operator).
struct QuickAddressEdit
{
    qint64 rowid = 0;
    bool nameTaken = false;
};

// A new site. With `replaceSameName` the row that has the name takes the new address instead.
Result<QuickAddressEdit> addQuickAddress(Database &db, const QString &name, const QString &address,
                                         bool replaceSameName = false);
// The row `rowid` takes the name and address. With `replaceSameName` another row of that
// name is removed, so names stay unique.
Result<QuickAddressEdit> changeQuickAddress(Database &db, qint64 rowid, const QString &name,
                                            const QString &address, bool replaceSameName = false);
Result<> removeQuickAddress(Database &db, qint64 rowid);

// A restricted fragment. An empty one would block every site and is refused.
Result<qint64> addRestrictedSite(Database &db, const QString &fragment);
Result<> removeRestrictedSite(Database &db, qint64 rowid);
