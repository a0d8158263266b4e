#pragma once

#include "store/machinerow.h"

#include <optional>

// Which billing commands fit the selected machine.
struct CommandStates
{
    bool startBilling = false;  // "开始记费"
    bool limitTime = false;     // "限定时间"
    bool checkout = false;      // "结帐"
    bool changeMachine = false; // "调换计算机"
    bool purchase = false;      // "选购商品"
    bool programList = false;   // "查看当前机程序"
    bool clientControl = false; // "客户机控制"
    bool toolStart = false;     // toolbar "记费"
    bool toolCheckout = false;  // toolbar "结帐"

    bool operator==(const CommandStates &) const = default;
};

// The command states for a machine with `status`; empty for an unknown status (the commands
// then keep their states).
std::optional<CommandStates> commandStatesFor(MachineStatus status);

// Whether goods may be sold to the machine: only onto a running (or paused) session's bill.
bool purchaseOffered(MachineStatus status);

// What a double-click or Enter on a machine's entry opens.
enum class Activation { Nothing, SessionStart, Checkout };
Activation activationFor(MachineStatus status);
