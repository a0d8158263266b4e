#include "pendingwrites.h"

#include "connections.h"
#include "linklog.h"
#include "store/database.h"
#include "store/machinetable.h"

void PendingWrites::flush()
{
    if (isEmpty())
        return;
    MachineTable machines(m_db);
    Transaction t(m_db);
    bool ok = true;
    for (auto it = m_announced.cbegin(); ok && it != m_announced.cend(); ++it)
        ok = machines.recordAnnouncement(it.key(), it.value());
    for (auto it = m_closedAddresses.cbegin(); ok && it != m_closedAddresses.cend(); ++it) {
        // Another connection from the same address (a PC that reconnected) still serves its
        // machines; this also keeps a close from undoing a later announcement of that PC.
        if (m_slots.firstSlotOf(*it) < 0)
            ok = machines.turnOffStandbyAt(*it);
    }
    if (!ok || !t.commit())
        qCWarning(lcLink) << "could not record" << m_announced.size() << "announcements and"
                          << m_closedAddresses.size() << "closed connections:" << m_db.lastError();
    m_announced.clear();
    m_closedAddresses.clear();
}
