#pragma once

#include "common/effects.h"
#include "common/result.h"
#include "store/goodsrows.h"

#include <QDateTime>
#include <QString>

class Database;

// Goods sold over the counter, to nobody's machine: paid at once, straight into the sales
// journal.
namespace CounterSale {

// The quantity a typed text sells: a whole number above 0, or nothing.
std::optional<int> quantityOf(const QString &text);

// Sells `quantity` of the article numbered `article`: one khspb row (机号 -1, no session ID)
// and the stock lowered by as much (it may go below 0), together. Refused for a quantity
// below 1 and for an article no longer in the catalogue. The cash taken, at the catalogue's
// price, counts into `effects`' takings.
Result<GoodsSale> sell(Database &db, Effects &effects, const QString &article, int quantity,
                       const QDateTime &when);

} // namespace CounterSale
