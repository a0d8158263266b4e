#include "sessionstart.h"

#include "common/clock.h"
#include "common/formats.h"
#include "common/numbers.h"
#include "machinelist.h"
#include "store/accounttables.h"
#include "store/database.h"
#include "store/machinetable.h"
#include "store/settingstable.h"

#include <QLoggingCategory>
#include <cmath>

Q_LOGGING_CATEGORY(lcSessionStart, "corvana.billing.start")

namespace SessionStart {

namespace {

// A missing or empty setting reads as midnight.
QTime timeOrMidnight(const QTime &t)
{
    return t.isValid() ? t : QTime(0, 0);
}

struct Window
{
    QTime start;
    QTime end;
};

Window overnightWindow(Database &db)
{
    const Settings s = SettingsTable(db).read().value_or(Settings{});
    return {timeOrMidnight(s.overnightStart), timeOrMidnight(s.overnightEnd)};
}

// Minutes of the time limit typed in; 0 means no limit.
double limitMinutes(const SessionInput &input)
{
    return numberValue(input.hours) * 60 + numberValue(input.minutes);
}

QDateTime plusMinutes(const QDateTime &t, double minutes)
{
    return t.addSecs(qint64(std::llround(minutes * 60)));
}

std::unexpected<QString> storeFailure(Database &db)
{
    return failure(QStringLiteral("保存失败：") + db.lastError());
}

// Adds the name to the customers unless it is there by now: the table is locked first, so a
// second counter registering the same name at the same moment finds the first one's row.
bool addCustomerIfNew(Database &db, const SessionInput &input)
{
    CustomerTable customers(db);
    Customer c;
    c.number = customers.reserveNumber();
    if (c.number.isEmpty())
        return false;
    if (!isNewCustomer(db, input.name))
        return true;
    c.name = input.name;
    c.idKind = input.idKind;
    c.idNumber = input.idNumber;
    return customers.add(c);
}

enum class Kind { Timing, Overnight };

Result<> start(const BillingScope &scope, Effects &effects, int position, const SessionInput &input,
               bool registerCustomer, Kind kind)
{
    Database &db = scope.db;
    MachineTable machines(db);
    std::optional<Machine> m = machines.at(position);
    if (!m)
        return failure(QStringLiteral("没有选中计算机！"));
    // The dialog may have been open while a client's own start request was accepted;
    // starting again would throw away the time already billed.
    if (m->inSession())
        return failure(m->name + QStringLiteral("已经在记费中！"));

    const QDateTime now = Clock::now();
    MachineTable::Start st;
    st.start = now;
    st.customer = input.name;
    st.idKind = input.idKind;
    st.idNumber = input.idNumber;
    if (kind == Kind::Overnight) {
        const Window w = overnightWindow(db);
        if (!isOvernightTime(w.start, w.end, now.time()))
            return failure(overnightRefusalText(w.start, w.end));
        st.due = overnightDue(w.end, now);
        st.mode = QStringLiteral("P");
    } else {
        st.mode = QStringLiteral("N");
    }
    // Without a limit the due time and prepaid amount keep what the last checkout left.
    const double limit = limitMinutes(input);
    if (limit != 0) {
        st.due = plusMinutes(now, limit);
        if (!input.prepaid.isEmpty())
            st.prepaid = numberValue(input.prepaid);
    }

    // Another counter may start this machine at the same moment: the machine's row is locked
    // first, and the start only takes a machine that is still out of session.
    bool idle = false;
    if (!machines.startSessionIfIdle(m->rowid, st, &idle))
        return storeFailure(db);
    if (!idle)
        return failure(m->name + QStringLiteral("已经在记费中！"));
    if (registerCustomer && isNewCustomer(db, input.name) && !addCustomerIfNew(db, input))
        return storeFailure(db);

    effects.command(m->ip, QStringLiteral("start"));
    // Only money typed now is taken now; a prepaid amount left on the row was taken before.
    effects.takings.sessionCash = st.prepaid ? *st.prepaid - m->prepaid : 0;
    MachineList &list = scope.list;
    effects.then([&list, position] { list.setIcon(position, IconBilling); });
    return {};
}

} // namespace

TimeFields amountToTime(double amount, double rate)
{
    if (!(rate > 0) || !std::isfinite(amount))
        return {QStringLiteral("0"), QStringLiteral("0")};
    // The small allowance keeps 1.1 yuan at 1.1 yuan per hour from reading 59 minutes.
    const double exact = 60 * amount / rate;
    const qint64 total = qint64(std::trunc(exact + 1e-9 * std::max(1.0, std::fabs(exact))));
    return {QString::number(total / 60), QString::number(total % 60)};
}

bool isOvernightTime(const QTime &start, const QTime &end, const QTime &now)
{
    // The window's edges are whole seconds; compare at that grain.
    const QTime t(now.hour(), now.minute(), now.second());
    if (start > end)
        return !(t > end && t < start);
    return t > start && t < end;
}

QString overnightRefusalText(const QTime &start, const QTime &end)
{
    return QStringLiteral("还未到通宵时间！\r\n通宵时间：") + storedTime(start) + QStringLiteral(" 至 ") +
           storedTime(end);
}

QDateTime overnightDue(const QTime &end, const QDateTime &now)
{
    // The window's next end: later today when the night has already begun after midnight
    // (03:00 in 22:00-08:00, 01:00 in 00:00-06:00), else tomorrow.
    const QTime e(end.hour(), end.minute(), end.second());
    const QDate day = now.time() < e ? now.date() : now.date().addDays(1);
    return QDateTime(day, e);
}

std::optional<QString> overnightRefusal(Database &db)
{
    const Window w = overnightWindow(db);
    if (isOvernightTime(w.start, w.end, Clock::now().time()))
        return std::nullopt;
    return overnightRefusalText(w.start, w.end);
}

bool isNewCustomer(Database &db, const QString &name)
{
    return !name.isEmpty() && !CustomerTable(db).byName(name);
}

Result<> startTiming(const BillingScope &scope, Effects &effects, int position, const SessionInput &input,
                     bool registerCustomer)
{
    return start(scope, effects, position, input, registerCustomer, Kind::Timing);
}

Result<> startOvernight(const BillingScope &scope, Effects &effects, int position, const SessionInput &input,
                        bool registerCustomer)
{
    return start(scope, effects, position, input, registerCustomer, Kind::Overnight);
}

Result<> changeSession(Database &db, Effects &effects, int position, const SessionInput &input)
{
    MachineTable machines(db);
    std::optional<Machine> m = machines.at(position);
    // The session may have been settled while the dialog was open; a due time or prepaid
    // amount written then would wrongly carry over to the next customer.
    if (!m || !m->inSession())
        return failure(QStringLiteral("该计算机没有在记费中！"));
    const double limit = limitMinutes(input);
    std::optional<QDateTime> due;
    if (limit != 0 && m->start.isValid())
        due = plusMinutes(m->start, limit);

    if (!machines.lockRows({m->rowid}))
        return storeFailure(db);
    // Another counter may have settled it meanwhile.
    const std::optional<Machine> now = machines.byRowid(m->rowid);
    if (!now || !now->inSession() || now->start != m->start)
        return failure(QStringLiteral("该计算机没有在记费中！"));
    const double prepaid = numberValue(input.prepaid);
    if (!machines.changeSession(m->rowid, due, input.name, input.idKind, input.idNumber, prepaid))
        return storeFailure(db);
    effects.takings.sessionCash = prepaid - now->prepaid;
    return {};
}

} // namespace SessionStart
