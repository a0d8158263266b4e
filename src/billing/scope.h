#pragma once

class Database;
class GuessThrottle;
class MachineList;

// What a billing operation works on: the store and the machine list it keeps current. The
// operation leaves what follows it (messages to PCs, list changes) to the command path's
// effects; it never reaches up into the desk.
struct BillingScope
{
    Database &db;
    MachineList &list;
    // Card passwords checked at checkout count against it; none: not throttled.
    GuessThrottle *throttle = nullptr;
};
