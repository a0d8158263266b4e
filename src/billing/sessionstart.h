#pragma once

#include "common/effects.h"
#include "common/result.h"
#include "scope.h"

#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

class Database;

// What the operator typed into the start dialog, as typed; numbers are read from the texts.
struct SessionInput
{
    QString name;     // 客户姓名
    QString idKind;   // 客户证件
    QString idNumber; // 证件号码
    QString hours;    // time limit, hours part
    QString minutes;  // time limit, minutes part
    QString prepaid;  // prepaid amount, yuan
};

// Starting a session on a machine (normal or overnight) and changing a running one.
namespace SessionStart {

// The time a prepaid amount buys at `rate` yuan per hour, as the hours and minutes texts;
// "0" and "0" when the rate cannot divide.
struct TimeFields
{
    QString hours;
    QString minutes;
};
TimeFields amountToTime(double amount, double rate);

// Whether `now` lies inside the overnight window from `start` to `end` (times of day; a
// window whose start is later than its end crosses midnight).
bool isOvernightTime(const QTime &start, const QTime &end, const QTime &now);
// "还未到通宵时间！" with the window.
QString overnightRefusalText(const QTime &start, const QTime &end);
// When an overnight session started at `now` falls due.
QDateTime overnightDue(const QTime &end, const QDateTime &now);
// The refusal text when the café's overnight window does not include now; empty inside it.
std::optional<QString> overnightRefusal(Database &db);

// Whether `name` is not empty and no customer has exactly this name.
bool isNewCustomer(Database &db, const QString &name);

// These run inside the command path's transaction and leave what follows to `effects`.
// "开始计时": the machine at `position` starts billing by time from now; its client is to be
// told to start and its entry to show it billing. With `registerCustomer` a new name is added
// to the customers first.
Result<> startTiming(const BillingScope &scope, Effects &effects, int position, const SessionInput &input,
                     bool registerCustomer);
// "开始通宵": the same in overnight mode; refused outside the overnight window.
Result<> startOvernight(const BillingScope &scope, Effects &effects, int position, const SessionInput &input,
                        bool registerCustomer);
// "设定": changes the time limit, customer and prepaid amount of the running session.
Result<> changeSession(Database &db, Effects &effects, int position, const SessionInput &input);

} // namespace SessionStart
