#pragma once

#include "billing/pcpresence.h"
#include "common/effects.h"

#include <QString>

// The link to the café's PCs as the desk's command path uses it: what the supervision pass
// asks, and sending commands once an action is stored. The link server implements it; tests
// may fake it.
class ClientLink : public PcPresence
{
public:
    using Reach = Effects::Reach;

    // "_comm" with `word` to the first (or every) connected slot whose peer address is `ip`.
    virtual void SendCommand(const QString &ip, const QString &word, Reach reach = Reach::First) = 0;
    // "_msgb" with `text` to the first connected slot whose peer address is `ip`.
    virtual void sendMessageBox(const QString &ip, const QString &text) = 0;
};
