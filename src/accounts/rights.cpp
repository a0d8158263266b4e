#include "rights.h"

namespace {

struct Rule
{
    Command command;
    char lowest; // the lowest right that may use it
};

// The rights matrix; a higher right includes everything a lower one may do.
constexpr Rule kRules[] = {
    {Command::Customers, 'B'},        {Command::GoodsEdit, 'B'},
    {Command::Cards, 'C'},            {Command::QuickAddresses, 'C'},
    {Command::ReportsMenu, 'C'},      {Command::ReportsTool, 'C'},
    {Command::DailyMachineTime, 'C'}, {Command::DailyGoodsSales, 'C'},
    {Command::DailyIncome, 'C'},      {Command::MonthlyMachineTime, 'C'},
    {Command::MonthlyGoodsSales, 'C'}, {Command::MonthlyIncome, 'C'},
    {Command::ClientClose, 'C'},      {Command::ShiftRecords, 'C'},      {Command::ClientSetup, 'C'},
    {Command::Machines, 'D'},         {Command::Operators, 'D'},
    {Command::Backup, 'D'},           {Command::Restore, 'D'},
    {Command::Settings, 'D'},         {Command::Trail, 'D'},
};

} // namespace

namespace rights {

QString effective(const QString &right)
{
    if (right.size() == 1 && right.at(0) >= u'A' && right.at(0) <= u'D')
        return right;
    return QStringLiteral("A");
}

bool may(const QString &right, Command command)
{
    const char16_t letter = effective(right).at(0).unicode();
    for (const Rule &r : kRules)
        if (r.command == command)
            return letter >= char16_t(r.lowest);
    return false;
}

QList<Command> allCommands()
{
    QList<Command> result;
    for (const Rule &r : kRules)
        result << r.command;
    return result;
}

QString label(const QString &right)
{
    if (right == u"A")
        return QStringLiteral("A—记费员");
    if (right == u"B")
        return QStringLiteral("B—操作员");
    if (right == u"C")
        return QStringLiteral("C—管理员");
    if (right == u"D")
        return QStringLiteral("D—超级管理员");
    return QString();
}

QStringList labels()
{
    return {label(QStringLiteral("A")), label(QStringLiteral("B")), label(QStringLiteral("C")),
            label(QStringLiteral("D"))};
}

QString caption(const QString &operatorName)
{
    return QStringLiteral("Corvana——用户：") + operatorName;
}

} // namespace rights
