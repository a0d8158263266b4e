#pragma once

#include "store/accountrows.h"
#include "store/goodsrows.h"
#include "store/machinerow.h"
#include "store/settingsrow.h"

#include <QString>
#include <optional>

// How the trail shows the figures of an edit: for a changed row the row's name and the fields
// that differ ("00000001 可乐：售价 3→3.5 库存 20→19"); for a new or a deleted row (the other
// side empty) every field. Passwords never appear, only that a new one was typed.
namespace audit {

QString describe(const std::optional<Article> &before, const std::optional<Article> &after);
QString describe(const std::optional<Machine> &before, const std::optional<Machine> &after);
QString describe(const std::optional<Customer> &before, const std::optional<Customer> &after);
QString describe(const std::optional<Card> &before, const std::optional<Card> &after, bool newPassword);
QString describe(const std::optional<Operator> &before, const std::optional<Operator> &after, bool newPassword);
QString describe(const std::optional<Settings> &before, const Settings &after);

} // namespace audit
