#pragma once

#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

// Rows of the tables, as the program reads and writes them. `rowid` names the stored row;
// table order is rowid order.

// 状态 of a machine. Stored as a letter: "Y" billing, "S" standby, "N" off, "P" paused; a
// stored letter that is none of these reads as Unknown. Only the store converts.
enum class MachineStatus { Off, Standby, Billing, Paused, Unknown };

MachineStatus machineStatusFromLetter(const QString &letter);
QString letterOf(MachineStatus status);

// yxsjb: a machine and the session running on it.
struct Machine
{
    qint64 rowid = 0;
    int position = 0; // 1-based place in table order, the machine list entry
    int number = 0;   // 机号
    QString name;     // 名称
    QString ip;       // IP
    double rate = 0;  // 单位费用, yuan per hour
    MachineStatus status = MachineStatus::Off; // 状态
    QDateTime start;  // 开始时间
    QDateTime due;    // 到点时间
    QDateTime pauseStart;    // 暂停开始
    double pauseMinutes = 0; // 暂停时间
    double prepaid = 0;      // 已收款
    QString mode;            // 上机方式: "N" normal, "P" overnight
    QString customer;        // 客户姓名
    QString idKind;          // 客户证件
    QString idNumber;        // 证件号码

    bool inSession() const { return status == MachineStatus::Billing || status == MachineStatus::Paused; }
};

// xtsz: the café-wide settings.
struct Settings
{
    double overnightPrice = 0;            // 通宵金额
    std::optional<double> minimumCharge;  // 最低消费额; empty raises nothing
    double roundingUnit = 0;              // 取整金额
    QTime overnightStart;                 // 通宵开始时间
    QTime overnightEnd;                   // 通宵结束时间
    double monthStart = 0;                // 每月开始时间
    double monthEnd = 0;                  // 每月结束时间
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

// spkcb: an article of the goods catalogue.
struct Article
{
    qint64 rowid = 0;
    QString number;   // 商品编号
    QString name;     // 商品名称
    double cost = 0;  // 进货价格
    double price = 0; // 零售价格
    double stock = 0; // 库存数量
};

// splsjlb: goods ordered for a running session.
struct OrderLine
{
    qint64 rowid = 0;
    int machine = 0;     // 机号
    QString article;     // 商品编号
    double quantity = 0; // 数量
    QDateTime time;      // 时间
};

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

// khspb: one goods line paid for.
struct GoodsSale
{
    std::optional<qint64> id; // ID of the session; empty for a counter sale
    int machine = 0;          // 机号; -1 for a counter sale
    QString article;          // 商品编号
    double quantity = 0;      // 数量
    QDateTime time;           // 时间
};

// cjkgl: a stored-value card.
struct Card
{
    qint64 rowid = 0;
    QString number;       // 卡号
    double total = 0;     // 总金额
    double totalHours = 0; // 总机时
    QString password;     // 密码
    QString customer;     // 客户编号
    double usedHours = 0; // 已用机时
    int sessions = 0;     // 上机次数
    double balance = 0;   // 金额
};

// khglb: a customer.
struct Customer
{
    qint64 rowid = 0;
    QString number;       // 编号
    QString name;         // 客户姓名
    QString idKind;       // 证件
    QString idNumber;     // 证件号码
    QString phone;        // 电话
    QString pager;        // 呼机
    QString mobile;       // 手机
    QString email;        // E-Mail
    double spent = 0;     // 消费额
    int visits = 0;       // 消费次数
    QDateTime lastVisit;  // 最后一次时间
};

// yhszb: an operator with the display settings of the main window.
struct Operator
{
    qint64 rowid = 0;
    QString name;     // 用户名称
    QString password; // 用户密码
    QString right;    // 权限: "A" < "B" < "C" < "D"
    QString fontName = QStringLiteral("宋体"); // 字体
    double fontSize = 9;       // 字号
    qint64 textColor = 0;      // 字体颜色
    bool bold = false;         // 粗体
    bool italic = false;       // 斜体
    QString background;        // 背景
    qint64 backgroundColor = kSystemWindowColor; // 背景颜色

    // The system window-background colour, as operators' rows have always stored it.
    static constexpr qint64 kSystemWindowColor = 0x80000005;
};

// quickhttp: a quick web address.
struct QuickAddress
{
    qint64 rowid = 0;
    QString name;    // 网站名称
    QString address; // 网站地址
};

// hickhttp: a fragment of restricted web addresses.
struct RestrictedSite
{
    qint64 rowid = 0;
    QString fragment; // 网站
};
