#include "commandstates.h"

std::optional<CommandStates> commandStatesFor(const QString &status)
{
    CommandStates s;
    if (status == u"Y" || status == u"P") {
        // A session runs (or is paused): it can be changed, moved, sold to and settled.
        s.limitTime = s.checkout = s.changeMachine = s.purchase = true;
        s.programList = s.clientControl = true;
        s.toolCheckout = true;
        return s;
    }
    if (status == u"N") {
        // Off: a session can be started, but no client is there to ask or control.
        s.startBilling = s.toolStart = true;
        return s;
    }
    if (status == u"S") {
        s.startBilling = s.toolStart = true;
        s.programList = s.clientControl = true;
        return s;
    }
    return std::nullopt;
}
