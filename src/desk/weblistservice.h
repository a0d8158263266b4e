#pragma once

#include "common/result.h"
#include "link/weblists.h"
#include "store/webrows.h"

#include <QPointer>

class CommandPath;
class Database;
class LinkServer;

// The web-address lists as their windows edit them: read, changed on the command path, and
// handed to the PCs when the window is done.
class WebListService final
{
public:
    WebListService(Database &db, CommandPath &commands, LinkServer *link);

    QList<QuickAddress> quickAddresses() const;
    Result<QuickAddressEdit> addQuickAddress(const QString &name, const QString &address,
                                             bool replaceSameName);
    Result<QuickAddressEdit> changeQuickAddress(qint64 rowid, const QString &name, const QString &address,
                                                bool replaceSameName);
    Result<> removeQuickAddress(qint64 rowid);

    QList<RestrictedSite> restrictedSites() const;
    Result<qint64> addRestrictedSite(const QString &fragment);
    Result<> removeRestrictedSite(qint64 rowid);

    // The lists as stored now to every PC connected (none without the link).
    void pushQuickAddresses();
    void pushRestrictedSites();

private:
    Database &m_db;
    CommandPath &m_commands;
    QPointer<LinkServer> m_link;
};
