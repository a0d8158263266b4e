#pragma once

#include "database.h"

#include <QLoggingCategory>
#include <type_traits>
#include <utility>

namespace store {

inline const QLoggingCategory &retryCategory()
{
    static const QLoggingCategory category("corvana.store");
    return category;
}

// Runs `attempt` — one whole transaction, with no effect outside the store until it has
// committed — and, when it failed because another writer on the server got in its way (a
// deadlock, a serialization failure), runs it once more: the other writer has finished by
// then. `failedInStore(outcome)` tells a store failure from a refusal, which is never retried.
// On the file there is no other writer and nothing is ever run twice.
template <typename Attempt, typename FailedInStore>
auto retryOnce(Database &db, Attempt &&attempt, FailedInStore &&failedInStore)
    -> std::invoke_result_t<Attempt &>
{
    auto outcome = attempt();
    if (failedInStore(std::as_const(outcome)) && db.isServer() && db.lastFailureRetryable()) {
        qCInfo(retryCategory()) << "conflict with another writer, running it once more:" << db.lastError();
        outcome = attempt();
    }
    return outcome;
}

// The same for an attempt whose every failure (false, an empty std::expected) may be the store's.
template <typename Attempt> auto retryOnce(Database &db, Attempt &&attempt) -> std::invoke_result_t<Attempt &>
{
    return retryOnce(db, std::forward<Attempt>(attempt), [](const auto &outcome) { return !outcome; });
}

} // namespace store
