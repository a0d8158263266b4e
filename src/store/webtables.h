#pragma once

#include "webrows.h"

#include <QList>
#include <optional>

class Database;

// quickhttp: the quick web addresses, in table order.
class QuickAddressTable final
{
public:
    explicit QuickAddressTable(Database &db) : m_db(db) {}

    QList<QuickAddress> all();
    std::optional<QuickAddress> byRowid(qint64 rowid);
    // The first row (table order) named `name`.
    std::optional<QuickAddress> byName(const QString &name);
    bool add(const QuickAddress &address);
    bool save(const QuickAddress &address);
    bool remove(qint64 rowid);

private:
    Database &m_db;
};

// hickhttp: the restricted site fragments, in table order.
class RestrictedSiteTable final
{
public:
    explicit RestrictedSiteTable(Database &db) : m_db(db) {}

    QList<RestrictedSite> all();
    std::optional<RestrictedSite> byRowid(qint64 rowid);
    bool add(const RestrictedSite &site);
    bool remove(qint64 rowid);

private:
    Database &m_db;
};
