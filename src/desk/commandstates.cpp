#include "commandstates.h"

std::optional<CommandStates> commandStatesFor(MachineStatus status)
{
    CommandStates s;
    switch (status) {
    case MachineStatus::Billing:
    case MachineStatus::Paused:
        // A session runs (or is paused): it can be changed, moved, sold to and settled.
        s.limitTime = s.checkout = s.changeMachine = true;
        s.purchase = purchaseOffered(status);
        s.programList = s.clientControl = true;
        s.toolCheckout = true;
        return s;
    case MachineStatus::Off:
        // Off: a session can be started, but no client is there to ask or control.
        s.startBilling = s.toolStart = true;
        return s;
    case MachineStatus::Standby:
        s.startBilling = s.toolStart = true;
        s.programList = s.clientControl = true;
        return s;
    case MachineStatus::Unknown:
        break;
    }
    return std::nullopt;
}

Activation activationFor(MachineStatus status)
{
    switch (status) {
    case MachineStatus::Billing:
    case MachineStatus::Paused:
        return Activation::Checkout;
    case MachineStatus::Off:
    case MachineStatus::Standby:
        return Activation::SessionStart;
    case MachineStatus::Unknown:
        break;
    }
    return Activation::Nothing;
}

bool purchaseOffered(MachineStatus status)
{
    return status == MachineStatus::Billing || status == MachineStatus::Paused;
}
