#pragma once

#include "billing/machinelist.h"

#include <QIcon>

// The four status icons of the machine list, drawn for large and small views.
QIcon statusIcon(StatusIcon icon);
// The status icon with a red mark: the machine is in session but its PC has dropped off.
QIcon clientGoneIcon(StatusIcon icon);

// How near a billing machine is to its 到点时间.
enum class DueMark { None, Soon, Due };
// The icon with a corner marking how near its time is: orange soon, red due.
QIcon dueIcon(const QIcon &base, DueMark mark);
