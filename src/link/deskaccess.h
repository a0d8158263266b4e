#pragma once

class CommandPath;
class Database;
class GuessThrottle;
class MachineList;
class QuestionQueue;

// What the client link needs of the front desk: the store, the machine list (a client's
// session figures are the list's columns), the operator's questions, the desktop lock, and a
// supervision pass after a request changed a machine. The front desk implements it; what the
// link has to tell the desk it says with its own signals.
class DeskAccess
{
public:
    virtual ~DeskAccess() = default;

    virtual Database &db() = 0;
    // What a request changes in the store goes this way, its messages to PCs only once stored.
    virtual CommandPath &commands() = 0;
    virtual const MachineList &machineList() const = 0;
    virtual QuestionQueue &questions() = 0;
    // While the desktop is locked, clients' requests to start, order and settle are refused.
    virtual bool isLocked() const = 0;
    // Runs one supervision pass now.
    virtual void refresh() = 0;
    // Password checks of every source (clients by peer address, the desk's dialogs).
    virtual GuessThrottle &throttle() = 0;
};
