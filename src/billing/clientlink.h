#pragma once

#include <QString>

// What billing needs of the client link: finding a machine's connection by its address and
// sending it commands. The link server implements it; tests may fake it.
class ClientLink
{
public:
    enum class Reach { First, Every };

    virtual ~ClientLink() = default;

    // Whether a connected slot has `ip` as its peer address (never for an empty address).
    virtual bool hasConnection(const QString &ip) const = 0;
    // "_comm" with `word` to the first (or every) connected slot whose peer address is `ip`.
    virtual void SendCommand(const QString &ip, const QString &word, Reach reach = Reach::First) = 0;
    // "_msgb" with `text` to the first connected slot whose peer address is `ip`.
    virtual void sendMessageBox(const QString &ip, const QString &text) = 0;
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
