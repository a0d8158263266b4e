#pragma once

class ClientLink;
class Database;
class GuessThrottle;
class MachineList;

// What a billing operation works on: the store, the machine list it keeps current and the
// link to the café's PCs (none while the desk runs without it). The operation returns what
// the desk must do afterwards (select, refresh); it never reaches up into the desk.
struct BillingScope
{
    Database &db;
    MachineList &list;
    ClientLink *link = nullptr;
    // Card passwords checked at checkout count against it; none: not throttled.
    GuessThrottle *throttle = nullptr;
};
