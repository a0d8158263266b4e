#pragma once

#include "common/result.h"
#include "store/shifttable.h"

#include <QList>
#include <QString>

class CommandPath;
class Database;

// The shifts of this counter (交班): one opens when an operator logs in, the money actions take
// counts into it as they commit, and the hand-over closes it with the cash counted.
class ShiftService final
{
public:
    ShiftService(Database &db, CommandPath &commands, const QString &counter, const QString &operatorName);

    // The open shift, opened now for the operator logged in when none is (in the trail as
    // "上班" with the float taken over).
    Result<Shift> open();
    // The open shift as it stands, with what it has taken so far.
    std::optional<Shift> current();
    // Hands the open shift over: the cash counted (实点现金) and the float left for the next
    // shift (留给下一班的备用金), numbers of at most two decimals not below 0. In the trail as
    // "交班" with the figures.
    Result<Shift> handOver(const QString &counted, const QString &left);
    // The shifts handed over, the latest first.
    QList<Shift> past();
    // The trail's newest hash, printed under a shift's report.
    QString anchor();

private:
    Database &m_db;
    CommandPath &m_commands;
    QString m_counter;
    QString m_operator;
};

// The shift's report, as shown and printed: its times, operator and every figure, one per line.
QString shiftReport(const Shift &shift);
