#pragma once

#include <QDateTime>
#include <QString>

// Rows as the program reads and writes them: `rowid` names the stored row; table order is
// rowid order.

// sjlszb: one settled session.
struct JournalEntry
{
    qint64 id = 0;       // ID
    int machine = 0;     // 机号
    QDateTime start;     // 开始时间
    QDateTime end;       // 结束时间
    QString mode;        // 上机方式
    double due = 0;      // 应收款
    double received = 0; // 实收款
    double discount = 0; // 优惠
    QString cashier;     // 结帐人
    QString customer;    // 客户姓名
    QString idKind;      // 客户证件
    QString idNumber;    // 证件号码
};
