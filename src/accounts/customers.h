#pragma once

#include "common/result.h"
#include "store/accountrows.h"

class Database;

// The customer register's own rules; the checkout keeps the spending figures.
namespace customers {

// The number a new customer gets (shared with the session start).
QString nextNumber(Database &db);

// Adds a customer with the details of `c` (编号 to E-Mail). The number is taken again when the
// row is written, as a session start may have used the one shown meanwhile; the stored
// customer is returned.
Result<Customer> add(Database &db, const Customer &c);

// Saves the details of customer `c.rowid`; 消费额, 消费次数 and 最后一次时间 stay as stored.
Result<> saveDetails(Database &db, const Customer &c);

// Refuses while the customer still owns a card.
Result<> checkDeletable(Database &db, const QString &number);
// Deletes customer `rowid`, checking its cards again.
Result<> remove(Database &db, qint64 rowid);

} // namespace customers
