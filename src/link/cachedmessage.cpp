#include "cachedmessage.h"

#include "store/database.h"

#include <sqlcipher/sqlite3.h>

CachedMessage::Stamp CachedMessage::stampOf(Database &db)
{
    Stamp s;
    s.handle = db.handle();
    if (!s.handle)
        return s;
    s.ownChanges = sqlite3_total_changes(db.handle());
    auto version = db.cached(QStringLiteral("PRAGMA data_version"));
    s.otherChanges = version->next() ? version->integer(0) : -1;
    return s;
}

QByteArray CachedMessage::get(Database &db)
{
    const Stamp now = stampOf(db);
    // Without a store (or without its version) nothing can be trusted to stay the same.
    if (!m_valid || now.handle == nullptr || now.otherChanges < 0 || !(now == m_stamp)) {
        m_bytes = m_build(db);
        m_stamp = now;
        m_valid = true;
    }
    return m_bytes;
}
