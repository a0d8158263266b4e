#pragma once

#include <QDateTime>
#include <QString>

// A machine and its session (yxsjb), as the program reads and writes it; only the store
// converts the stored letters.

// 状态 of a machine. Stored as a letter: "Y" billing, "S" standby, "N" off, "P" paused; a
// stored letter that is none of these reads as Unknown. Only the store converts.
enum class MachineStatus { Off, Standby, Billing, Paused, Unknown };

MachineStatus machineStatusFromLetter(const QString &letter);
QString letterOf(MachineStatus status);

// yxsjb: a machine and the session running on it.
struct Machine
{
    qint64 rowid = 0;
    int position = 0;                          // 1-based place in table order, the machine list entry
    int number = 0;                            // 机号
    QString name;                              // 名称
    QString ip;                                // IP
    double rate = 0;                           // 单位费用, yuan per hour
    MachineStatus status = MachineStatus::Off; // 状态
    QDateTime start;                           // 开始时间
    QDateTime due;                             // 到点时间
    QDateTime pauseStart;                      // 暂停开始
    double pauseMinutes = 0;                   // 暂停时间
    double prepaid = 0;                        // 已收款
    QString mode;                              // 上机方式: "N" normal, "P" overnight
    QString customer;                          // 客户姓名
    QString idKind;                            // 客户证件
    QString idNumber;                          // 证件号码

    bool inSession() const { return status == MachineStatus::Billing || status == MachineStatus::Paused; }
};
