#include "cachedmessage.h"

#include "store/database.h"

CachedMessage::Stamp CachedMessage::stampOf(Database &db)
{
    const Database::ChangeStamp c = db.changeStamp();
    return {c.connection, c.own, c.others};
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
