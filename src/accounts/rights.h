#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Every command of the main window that an operator's right can withhold. Commands that are
// never restricted (billing, view, goods catalogue window, web restrictions, re-login, lock,
// exit, help) are not listed.
enum class Command {
    Customers,        // 管理: 客户管理
    Cards,            // 管理: 储金卡管理
    QuickAddresses,   // 管理: 快速网址
    ReportsMenu,      // the whole 统计(&P) menu
    ReportsTool,      // toolbar 统计
    DailyMachineTime, // 日报表 ▸ 机时收费表
    DailyGoodsSales,  // 日报表 ▸ 商品销售统计表
    DailyIncome,      // 日报表 ▸ 收入统计表
    MonthlyMachineTime,
    MonthlyGoodsSales,
    MonthlyIncome,
    Machines,  // 系统: 计算机设置
    Operators, // 系统: 管理员设置
    Backup,    // 系统: 数据备份
    Restore,   // 系统: 数据还原
    Settings,  // 系统: 系统设置
    Trail,     // 管理: 操作记录
    ShiftRecords, // 统计: 交班记录
    GoodsEdit, // goods catalogue: add, modify, delete, save
    ClientClose, // a client's "close", authorised with an operator's name and password
    ClientSetup, // a client's "setup", likewise
};

namespace rights {

// The right letter as the rules read it: "A" to "D"; anything else counts as "A".
QString effective(const QString &right);

// Whether an operator with `right` may use `command`.
bool may(const QString &right, Command command);

// Every command of the enumeration, for building menus and tests.
QList<Command> allCommands();

// "A—记费员" … "D—超级管理员"; blank for an unknown letter.
QString label(const QString &right);
// The four labels in ascending order.
QStringList labels();

// The main window caption with an operator logged in.
QString caption(const QString &operatorName);

} // namespace rights
