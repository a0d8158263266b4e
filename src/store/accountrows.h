#pragma once

#include <QDateTime>
#include <QString>

// Rows as the program reads and writes them: `rowid` names the stored row; table order is
// rowid order.

// cjkgl: a stored-value card.
struct Card
{
    qint64 rowid = 0;
    QString number;        // 卡号
    double total = 0;      // 总金额
    double totalHours = 0; // 总机时
    QString password;      // 密码
    QString customer;      // 客户编号
    double usedHours = 0;  // 已用机时
    int sessions = 0;      // 上机次数
    double balance = 0;    // 金额
};

// khglb: a customer.
struct Customer
{
    qint64 rowid = 0;
    QString number;      // 编号
    QString name;        // 客户姓名
    QString idKind;      // 证件
    QString idNumber;    // 证件号码
    QString phone;       // 电话
    QString pager;       // 呼机
    QString mobile;      // 手机
    QString email;       // E-Mail
    double spent = 0;    // 消费额
    int visits = 0;      // 消费次数
    QDateTime lastVisit; // 最后一次时间
};

// yhszb: an operator with the display settings of the main window.
struct Operator
{
    qint64 rowid = 0;
    QString name;                                // 用户名称
    QString password;                            // 用户密码
    QString right;                               // 权限: "A" < "B" < "C" < "D"
    QString fontName = QStringLiteral("宋体");   // 字体
    double fontSize = 9;                         // 字号
    qint64 textColor = 0;                        // 字体颜色
    bool bold = false;                           // 粗体
    bool italic = false;                         // 斜体
    QString background;                          // 背景
    qint64 backgroundColor = kSystemWindowColor; // 背景颜色

    // The system window-background colour, as operators' rows have always stored it.
    static constexpr qint64 kSystemWindowColor = 0x80000005;
};
