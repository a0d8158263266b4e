#pragma once

#include "effects.h"
#include "result.h"

#include <functional>
#include <optional>
#include <type_traits>

// The one way an action changes the store: the desk's command runner opens the transaction,
// runs the rule, writes the trail entry naming who acted, commits, checks the commit and only
// then carries out the rule's effects. A rule never sends to a PC or changes the screen itself.
class CommandPath
{
public:
    struct Action
    {
        // The trail entry's kind; empty: the action writes none of its own.
        QString kind;
        int machine = 0;
        // The entry's details, asked for once the rule has succeeded.
        std::function<QString()> details{};
        // Said when the store refuses the action, before "，数据没有任何改动！" and the reason.
        QString failure = QStringLiteral("保存失败");
        // Who the trail names; empty: the operator logged in at the desk.
        QString actor{};
    };

    virtual ~CommandPath() = default;

    // Runs `rule` (taking the Effects to fill in, or nothing when it leaves none), which returns a std::expected whose error can be made from a text: the
    // rule's own refusal is returned as it is; a store failure (the commit included) as the
    // action's failure text with the reason.
    template <typename Rule> auto run(const Action &action, Rule &&rule)
    {
        if constexpr (std::is_invocable_v<Rule &, Effects &>)
            return runWithEffects(action, rule);
        else
            return runWithEffects(action, [&rule](Effects &) { return rule(); });
    }

    // The same, with the trail entry's details made by `describe` from the rule's value (from
    // nothing for a rule with no value).
    template <typename Rule, typename Describe> auto run(Action action, Rule &&rule, Describe &&describe)
    {
        using Outcome = decltype(run(action, rule));
        std::optional<Outcome> last;
        action.details = [&]() -> QString {
            if constexpr (std::is_void_v<typename Outcome::value_type>)
                return describe();
            else
                return describe(**last);
        };
        return runWithEffects(action, [&](Effects &effects) {
            if constexpr (std::is_invocable_v<Rule &, Effects &>)
                last.emplace(rule(effects));
            else
                last.emplace(rule());
            return *last;
        });
    }

private:
    template <typename Rule> auto runWithEffects(const Action &action, Rule &&rule)
    {
        using Outcome = std::invoke_result_t<Rule &, Effects &>;
        std::optional<Outcome> outcome;
        const Result<> stored = execute(action, [&](Effects &effects) {
            outcome.emplace(rule(effects));
            return outcome->has_value();
        });
        if (stored)
            return std::move(*outcome);
        if (outcome && !outcome->has_value())
            return std::move(*outcome);
        return Outcome(std::unexpect, typename Outcome::error_type(stored.error()));
    }

protected:
    // Runs `rule` as described above; fails when the rule returned false (its outcome says
    // why) or the store failed (the failure says why).
    virtual Result<> execute(const Action &action, const std::function<bool(Effects &)> &rule) = 0;
};
