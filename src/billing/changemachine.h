#pragma once

#include "common/effects.h"
#include "common/result.h"
#include "scope.h"
#include "store/machinerow.h"

#include <QList>

class Database;

// Moving a running session to another machine ("换机").
namespace ChangeMachine {

// Machines a session may move to: every machine neither billing nor paused, in table order
// (their `position` names them).
QList<Machine> candidates(Database &db);

// Moves the session of the machine at `source` to the machine at `target`: its timing data
// and goods go over, the source becomes idle and the clients are told stop and start; the
// target is then the machine to select. Refused when the source has no session or the
// target is missing, the source itself, or in a session of its own.
Result<> move(const BillingScope &scope, Effects &effects, int source, int target);

} // namespace ChangeMachine
