#pragma once

#include <QTime>
#include <optional>

// Rows as the program reads and writes them: `rowid` names the stored row; table order is
// rowid order.

// xtsz: the café-wide settings.
struct Settings
{
    double overnightPrice = 0;           // 通宵金额
    std::optional<double> minimumCharge; // 最低消费额; empty raises nothing
    double roundingUnit = 0;             // 取整金额
    QTime overnightStart;                // 通宵开始时间
    QTime overnightEnd;                  // 通宵结束时间
    double monthStart = 0;               // 每月开始时间
    double monthEnd = 0;                 // 每月结束时间
};

// The monthly period runs from a day of this month or the previous one (上月) to a day of
// this month or the next one (下月). 每月开始时间 and 每月结束时间 hold the day, negative when it
// lies in that neighbouring month.
inline double storedMonthDay(double day, bool neighbouringMonth)
{
    return neighbouringMonth ? -day : day;
}
inline bool inNeighbouringMonth(double stored)
{
    return stored < 0;
}
