#include "changemachine.h"

#include "machinelist.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/machinetable.h"

#include <QLoggingCategory>
#include <algorithm>

Q_LOGGING_CATEGORY(lcChangeMachine, "corvana.billing.change")

namespace ChangeMachine {

namespace {

// The source's goods lines go to the target. A line for an article the target already has
// (left from an order outside a session, or a second line of the same article) is added to
// that line, so each machine keeps one line per article.
bool moveGoods(Database &db, int fromMachine, int toMachine)
{
    // Two rows with one number (odd stored data) share their lines already; merging them
    // into themselves would double and then delete them.
    if (fromMachine == toMachine)
        return true;
    OrderTable orders(db);
    for (OrderLine line : orders.linesOf(fromMachine)) {
        if (std::optional<OrderLine> kept = orders.find(toMachine, line.article)) {
            kept->quantity += line.quantity;
            kept->time = std::max(kept->time, line.time);
            if (!orders.save(*kept))
                return false;
        } else {
            line.machine = toMachine;
            if (!orders.save(line))
                return false;
        }
    }
    // What is left of the source's lines has been added to the target's.
    return orders.removeLinesOf(fromMachine);
}

} // namespace

QList<Machine> candidates(Database &db)
{
    QList<Machine> result;
    for (const Machine &m : MachineTable(db).all()) {
        if (!m.inSession())
            result.append(m);
    }
    return result;
}

Result<> move(const BillingScope &scope, Effects &effects, int source, int target)
{
    Database &db = scope.db;
    MachineTable machines(db);
    std::optional<Machine> from = machines.at(source);
    std::optional<Machine> to = machines.at(target);
    if (!from || !from->inSession())
        return failure(QStringLiteral("该计算机没有在记费中！"));
    if (!to || to->rowid == from->rowid)
        return failure(QStringLiteral("请先选择要更换的计算机！"));
    if (to->inSession())
        return failure(to->name + QStringLiteral("正在使用中，不能更换！"));

    // One step: a failure must not leave the session on one machine and its goods on the
    // other. The session takes its mode and customer along, so the source keeps nothing of it.
    const qint64 fromRow = from->rowid;
    const qint64 toRow = to->rowid;
    // Both rows against other counters (in row order, as every counter locks them), then
    // read again: the session may have been settled, or the target started, meanwhile.
    if (!machines.lockRows({fromRow, toRow}))
        return failure(QStringLiteral("保存失败：") + db.lastError());
    from = machines.byRowid(fromRow);
    to = machines.byRowid(toRow);
    if (!from || !from->inSession())
        return failure(QStringLiteral("该计算机没有在记费中！"));
    if (!to)
        return failure(QStringLiteral("请先选择要更换的计算机！"));
    if (to->inSession())
        return failure(to->name + QStringLiteral("正在使用中，不能更换！"));
    if (!machines.takeSession(to->rowid, *from) || !machines.resetSession(from->rowid) ||
        !moveGoods(db, from->number, to->number)) {
        qCWarning(lcChangeMachine) << "session not moved from" << from->name << "to" << to->name << db.lastError();
        return failure(QStringLiteral("保存失败：") + db.lastError());
    }

    MachineList &list = scope.list;
    effects.then([&list, source] {
        list.setIcon(source, IconStandby);
        list.clearColumns(source);
    });
    effects.command(from->ip, QStringLiteral("stop"), Effects::Reach::Every);
    effects.command(to->ip, QStringLiteral("start"), Effects::Reach::Every);
    effects.select = target;
    return {};
}

} // namespace ChangeMachine
