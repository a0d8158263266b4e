#pragma once

#include "billing/machinelist.h"

#include <QIcon>

// The four status icons of the machine list, drawn for large and small views.
QIcon statusIcon(StatusIcon icon);
// The status icon with a red mark: the machine is in session but its PC has dropped off.
QIcon clientGoneIcon(StatusIcon icon);
