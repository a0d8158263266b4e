#pragma once

#include <QString>

// What the supervision pass needs to know of the café's PCs: which are connected, and which
// it is this desk's to ask about. The client link answers it; tests may fake it.
class PcPresence
{
public:
    virtual ~PcPresence() = default;

    // Whether a connected slot has `ip` as its peer address (never for an empty address).
    virtual bool hasConnection(const QString &ip) const = 0;
    // Writes what the link has recorded but not written yet (machines announced, connections
    // closed), so that a reader of the machine table sees it. Called before every such read
    // outside the link.
    virtual void flushPending() = 0;
    // Whether questions about the PC at `ip` (its time is up) are this desk's to ask. Where
    // several counters share the machines, only one of them asks.
    virtual bool asksAbout(const QString &ip) const
    {
        Q_UNUSED(ip);
        return true;
    }
};
