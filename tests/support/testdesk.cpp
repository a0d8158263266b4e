#include "testdesk.h"

#include "store/machinetable.h"

bool FakeLink::hasConnection(const QString &ip) const
{
    return !ip.isEmpty() && (!connected || connected->contains(ip));
}

void FakeLink::SendCommand(const QString &ip, const QString &word, Reach reach)
{
    if (hasConnection(ip))
        sent << ip + u' ' + word + (reach == Reach::Every ? QStringLiteral(" (every)") : QString());
}

void FakeLink::sendMessageBox(const QString &ip, const QString &text)
{
    if (hasConnection(ip))
        sent << ip + QStringLiteral(" msgb ") + text;
}

void TestDesk::open()
{
    if (const Result<> opened = desk.open(store.path()); !opened)
        qFatal("cannot open the desk: %s", qPrintable(opened.error()));
    desk.setLink(&link);
}

Machine TestDesk::machine(int position)
{
    return *MachineTable(db()).at(position);
}

void TestDesk::save(const Machine &machine)
{
    MachineTable(db()).save(machine);
}
