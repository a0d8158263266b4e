#pragma once

#include "billing/fee.h"
#include "store/goodstables.h"
#include "store/machinerow.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The bill shown, printed and kept by checkout. Every line ends with CR LF.
namespace billtext {

// "───────────────────" and "━━━━━━━━━━━━━━━━━━━", 19 characters each.
QString lightRule();
QString heavyRule();

// The lines of one machine's bill, from its name line down to the "以上金额合计：" line.
// Goods lines missing from the catalogue add nothing.
QString machineLines(const Machine &machine, const Tariff &tariff, const QList<PricedLine> &goods,
                     const QDateTime &now);

// What the end of a bill tells of the money: taken now (below 0: handed back out of what was
// prepaid), prepaid at the start, and change handed back from what was taken now.
struct Payment
{
    double received = 0;
    double prepaid = 0;
    double change = 0;
};

// The heavy rule and the "实 收 金 额 ：" line, then the prepaid money and the money handed
// back, when there are any.
QString receivedLines(const Payment &payment);

} // namespace billtext

// The text of the bill of one or more machines with a single received line at its end. The
// tail is where the received part begins, so a new received amount rewrites only that part.
class Bill final
{
public:
    const QString &text() const { return m_text; }
    // 0 until a machine has been added.
    qsizetype tail() const { return m_tail; }

    void clear();
    // Adds a machine's lines followed by the received part; a machine after the first is
    // separated from the one before by the heavy rule.
    void appendMachine(const QString &machineLines, const billtext::Payment &payment);
    // Rewrites the received part (nothing before the first machine).
    void setPayment(const billtext::Payment &payment);

private:
    QString m_text;
    qsizetype m_tail = 0;
};
