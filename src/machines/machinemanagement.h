#pragma once

#include "common/result.h"
#include "store/machinerow.h"

#include <QHash>
#include <QString>

class Database;

// The café's machines (yxsjb) as machine management changes them. A machine's number is its
// place in table order; adding and deleting keep it so.
namespace MachineManagement {

// "<number>号机": the name a machine gets unless the operator names it.
QString defaultName(int number);

// What "添加" proposes: the next number and its default name.
struct Proposal
{
    int number = 0;
    QString name;
};
Proposal proposeNew(Database &db);

// A machine as typed in the edit panel; the rate counts by its leading number.
struct MachineInput
{
    QString name; // 名称
    QString ip;   // IP
    QString rate; // 单位费用
};

// Appends an idle, switched-off machine numbered row count + 1.
Result<Machine> add(Database &db, const MachineInput &input);

// Writes name, address and rate of the machine `rowid`; its number and any session running
// on it stay as they are.
Result<Machine> modify(Database &db, qint64 rowid, const MachineInput &input);

// What a delete did: where the machine was, and the new number of every machine whose number
// changed (old → new; the deleted machine's number → 0). Whatever keeps machine numbers
// elsewhere (the client link's connections) applies the map to each number once.
struct Removal
{
    Machine removed;
    QHash<int, int> renumbered;
};

// Whether the machine may go. Not while it has a session; not while any machine whose number
// the delete would change has a session or goods not yet settled, nor while the machine
// itself has such goods: they would end up on another customer's bill.
Result<> checkRemovable(Database &db, qint64 rowid);
// Deletes the machine `rowid` and numbers the rest 1, 2, 3 … in table order (default names
// follow their numbers; goods lines follow their machines), all in one step.
Result<Removal> remove(Database &db, qint64 rowid);
QString removeQuestion(const Machine &machine);

// The list entry to select after the machine at `removedPosition` was deleted, when
// `selected` was selected before and `count` machines are left: the same machine, or, for
// the deleted one, the machine that took its place (the last one when it was last).
int positionAfterRemoval(int selected, int removedPosition, int count);

// Gives every machine the rate `rate` (yuan per hour, above 0); returns how many changed.
Result<int> setAllRates(Database &db, double rate);
QString allRatesQuestion(double rate);

} // namespace MachineManagement
