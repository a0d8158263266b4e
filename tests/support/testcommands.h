#pragma once

#include "audit/trail.h"
#include "desk/commandrunner.h"
#include "desk/serverwatch.h"
#include "store/database.h"

// The desk's command path over one connection, for tests of the rules that run on it: the
// same transaction, commit check, retry and effects as at the desk.
struct TestCommands
{
    explicit TestCommands(Database &db, ClientLink *link = nullptr) : watch(db), trail(db), runner(db, watch, trail)
    {
        runner.setLink(link);
    }
    // Runs `rule(Effects &)` with no trail entry of its own.
    template <typename Rule> auto run(Rule &&rule) { return runner.run({}, std::forward<Rule>(rule)); }

    ServerWatch watch;
    audit::Recorder trail;
    CommandRunner runner;
};
