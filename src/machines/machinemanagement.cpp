#include "machinemanagement.h"

#include "common/numbers.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/machinetable.h"

#include <QLoggingCategory>
#include <algorithm>

Q_LOGGING_CATEGORY(lcMachines, "corvana.machines")

namespace MachineManagement {

namespace {

std::unexpected<QString> storeFailure(Database &db, const char *what)
{
    qCWarning(lcMachines) << what << "failed:" << db.lastError();
    return failure(QStringLiteral("计算机设置没有保存成功：") + db.lastError());
}

const QString kGone = QStringLiteral("当前计算机已经不存在了！");

// The new number (and name) of every remaining machine after the row `rowid` goes.
struct Renumbering
{
    Machine machine;
    int number = 0;
    QString name;
    bool changes() const { return number != machine.number || name != machine.name; }
};

QList<Renumbering> planWithout(const QList<Machine> &machines, qint64 rowid)
{
    QList<Renumbering> plan;
    for (const Machine &m : machines) {
        if (m.rowid == rowid)
            continue;
        const int p = int(plan.size()) + 1;
        plan.append({m, p, m.name == defaultName(m.number) ? defaultName(p) : m.name});
    }
    return plan;
}

Result<> checkPlan(Database &db, const Machine &removed, const QList<Renumbering> &plan)
{
    if (removed.inSession())
        return failure(QStringLiteral("由于当前计算机处于记费状态，所以不能删除！"));
    QList<int> numbers{removed.number};
    bool busy = false;
    for (const Renumbering &r : plan) {
        if (r.number == r.machine.number)
            continue;
        numbers.append(r.machine.number);
        busy = busy || r.machine.inSession();
    }
    if (busy || OrderTable(db).hasLinesOf(numbers))
        return failure(QStringLiteral("后面还有计算机在记费或有未结帐的商品，现在不能删除！"));
    return {};
}

} // namespace

QString defaultName(int number)
{
    return QString::number(number) + QStringLiteral("号机");
}

Proposal proposeNew(Database &db)
{
    const int n = MachineTable(db).count() + 1;
    return {n, defaultName(n)};
}

Result<Machine> add(Database &db, const MachineInput &input)
{
    Transaction t(db);
    MachineTable table(db);
    // The number is the row count: another counter adding at the same moment waits.
    if (!table.lockAll())
        return storeFailure(db, "add");
    Machine m;
    m.number = table.count() + 1;
    m.name = input.name;
    m.ip = input.ip;
    m.rate = numberValue(input.rate);
    m.status = MachineStatus::Off;
    if (!table.add(m) || !t.commit())
        return storeFailure(db, "add");
    return table.at(m.number).value_or(m);
}

Result<Machine> modify(Database &db, qint64 rowid, const MachineInput &input)
{
    Transaction t(db);
    MachineTable table(db);
    if (!table.lockRows({rowid}))
        return storeFailure(db, "modify");
    if (!table.byRowid(rowid))
        return failure(kGone);
    if (!table.editDetails(rowid, input.name, input.ip, numberValue(input.rate)) || !t.commit())
        return storeFailure(db, "modify");
    return *table.byRowid(rowid);
}

Result<> checkRemovable(Database &db, qint64 rowid)
{
    MachineTable table(db);
    const std::optional<Machine> removed = table.byRowid(rowid);
    if (!removed)
        return failure(kGone);
    return checkPlan(db, *removed, planWithout(table.all(), rowid));
}

Result<Removal> remove(Database &db, qint64 rowid)
{
    Transaction t(db);
    MachineTable table(db);
    // Numbers are positions: the whole table waits for the renumbering, and the plan is made
    // from what other counters committed before.
    if (!table.lockAll())
        return storeFailure(db, "remove");
    const std::optional<Machine> removed = table.byRowid(rowid);
    if (!removed)
        return failure(kGone);
    const QList<Renumbering> plan = planWithout(table.all(), rowid);
    if (Result<> ok = checkPlan(db, *removed, plan); !ok)
        return std::unexpected(ok.error());

    Removal result;
    result.removed = *removed;
    bool kept = false; // another machine goes on answering to the deleted one's number
    for (const Renumbering &r : plan) {
        if (r.number != r.machine.number)
            result.renumbered.insert(r.machine.number, r.number);
        else
            kept = kept || r.number == removed->number;
    }
    if (!kept && !result.renumbered.contains(removed->number))
        result.renumbered.insert(removed->number, 0);

    if (!table.remove(rowid))
        return storeFailure(db, "remove");
    for (const Renumbering &r : plan) {
        if (r.changes() && !table.setNumberAndName(r.machine.rowid, r.number, r.name))
            return storeFailure(db, "renumber");
    }
    QHash<int, int> lines = result.renumbered;
    lines.remove(removed->number);
    if (!OrderTable(db).renumber(lines) || !t.commit())
        return storeFailure(db, "renumber");
    return result;
}

QString removeQuestion(const Machine &machine)
{
    return QStringLiteral("确实要删除： ") + machine.name + QStringLiteral(" 吗？");
}

int positionAfterRemoval(int selected, int removedPosition, int count)
{
    if (count < 1)
        return 0;
    const int p = selected > removedPosition ? selected - 1 : selected;
    return std::clamp(p, 1, count);
}

Result<int> setAllRates(Database &db, double rate)
{
    if (!(rate > 0))
        return failure(QStringLiteral("记费标准必须大于0！"));
    Transaction t(db);
    MachineTable table(db);
    if (!table.lockAll())
        return storeFailure(db, "set rates");
    const int n = table.count();
    if (!table.setAllRates(rate) || !t.commit())
        return storeFailure(db, "set rates");
    return n;
}

QString allRatesQuestion(double rate)
{
    return QStringLiteral("确实要将所有机器的记费标准改为：\n") + plainNumber(rate) +
           QStringLiteral(" 元/小时吗？");
}

} // namespace MachineManagement
