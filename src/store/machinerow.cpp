#include "machinerow.h"

MachineStatus machineStatusFromLetter(const QString &letter)
{
    if (letter == u"Y")
        return MachineStatus::Billing;
    if (letter == u"S")
        return MachineStatus::Standby;
    if (letter == u"N")
        return MachineStatus::Off;
    if (letter == u"P")
        return MachineStatus::Paused;
    return MachineStatus::Unknown;
}

QString letterOf(MachineStatus status)
{
    switch (status) {
    case MachineStatus::Billing:
        return QStringLiteral("Y");
    case MachineStatus::Standby:
        return QStringLiteral("S");
    case MachineStatus::Off:
        return QStringLiteral("N");
    case MachineStatus::Paused:
        return QStringLiteral("P");
    case MachineStatus::Unknown:
        break;
    }
    return QString();
}
