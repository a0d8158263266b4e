#pragma once

#include "store/rows.h"

#include <QList>

class Database;
class FrontDesk;

// Moving a running session to another machine ("换机").
namespace ChangeMachine {

// Machines a session may move to: every machine neither billing nor paused, in table order
// (their `position` names them).
QList<Machine> candidates(Database &db);

// Moves the session of the machine at `source` to the machine at `target`: its timing data
// and goods go over, the source becomes idle, the clients are told stop and start, and the
// target becomes the selected machine. Refused (false, with `error`) when the source has no
// session or the target is missing, the source itself, or in a session of its own.
bool move(FrontDesk &desk, int source, int target, QString *error = nullptr);

} // namespace ChangeMachine
