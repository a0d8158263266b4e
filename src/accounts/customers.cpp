#include "customers.h"

#include "store/accounttables.h"
#include "store/database.h"

namespace customers {

QString nextNumber(Database &db)
{
    return CustomerTable(db).nextNumber();
}

Result<Customer> add(Database &db, const Customer &c)
{
    Transaction transaction(db);
    Customer row = c;
    // Under the table's lock, so that two counters never give out one number.
    row.number = CustomerTable(db).reserveNumber();
    if (row.number.isEmpty())
        return failure(db.lastError());
    row.spent = 0;
    row.visits = 0;
    row.lastVisit = {};
    if (!CustomerTable(db).addDetails(row))
        return failure(db.lastError());
    row.rowid = db.lastInsertId();
    if (!transaction.commit())
        return failure(db.lastError());
    return row;
}

Result<> saveDetails(Database &db, const Customer &c)
{
    Transaction transaction(db);
    if (!CustomerTable(db).byRowid(c.rowid))
        return failure(QStringLiteral("该客户已不存在！"));
    if (!CustomerTable(db).saveDetails(c) || !transaction.commit())
        return failure(db.lastError());
    return {};
}

Result<> checkDeletable(Database &db, const QString &number)
{
    if (CardTable(db).anyOfCustomer(number))
        return failure(QStringLiteral("不能删除当前客户，因为还有该客户还有储金卡！"));
    return {};
}

Result<> remove(Database &db, qint64 rowid)
{
    Transaction transaction(db);
    const std::optional<Customer> c = CustomerTable(db).byRowid(rowid);
    if (!c)
        return failure(QStringLiteral("该客户已不存在！"));
    if (Result<> ok = checkDeletable(db, c->number); !ok)
        return ok;
    if (!CustomerTable(db).remove(rowid) || !transaction.commit())
        return failure(db.lastError());
    return {};
}

} // namespace customers
