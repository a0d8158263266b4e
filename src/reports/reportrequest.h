#pragma once

#include "common/result.h"

#include <QDateTime>
#include <QString>
#include <optional>

// The three reports of the 统计 menu.
enum class ReportKind { MachineTime, GoodsSales, Income };

// "机时收费表", "商品销售统计表", "收入统计表": the type texts of the menu and the dialog.
QString reportTypeText(ReportKind kind);
std::optional<ReportKind> reportKindFromText(const QString &text);

// A report period; both ends belong to it.
struct ReportPeriod
{
    QDateTime from;
    QDateTime to;
};

// Today 00:00:00 to 23:59:59.
ReportPeriod dailyPeriod(const QDate &today);

// The monthly settlement period around `today` from the settings' 每月开始时间 and
// 每月结束时间: |start| is the first day (of the previous month when negative), |end| the
// last day (of the next month when negative). A start day the month does not have starts the
// period on the 1st of the month after (30 of February is 1 March), an end day it does not
// have is its last day (31 in April is the 30th), so each day is in one period only when the
// end day is the day before the start day. Day 0 is the 1st.
ReportPeriod monthlyPeriod(const QDate &today, double monthStart, double monthEnd);

// The presets of the 日报表 and 月报表 menu entries.
enum class ReportPreset { Daily, Monthly };

class Database;
// The period of `preset` on `today`; the monthly one reads the settings as they are now.
ReportPeriod presetPeriod(Database &db, ReportPreset preset, const QDate &today);

// What the report dialog hands over: the type, the period and the machine choice.
struct ReportRequest
{
    ReportKind kind = ReportKind::MachineTime;
    QDateTime from;
    QDateTime to;
    int machine = 0; // 机号 of the chosen machine; 0 for "全部计算机"

    // Refuses a period that ends before it starts.
    Result<> check() const;
};

// The long date under every report: "yyyy年M月d日", the same on every machine.
QString reportDate(const QDate &date);
