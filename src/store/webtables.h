#pragma once

#include "rows.h"

#include <QList>

class Database;

// quickhttp: the quick web addresses, in table order.
class QuickAddressTable final
{
public:
    explicit QuickAddressTable(Database &db) : m_db(db) {}

    QList<QuickAddress> all();
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
    bool add(const RestrictedSite &site);
    bool remove(qint64 rowid);

private:
    Database &m_db;
};
