#pragma once

#include "billing/machinelist.h"

#include <QIcon>

// The four status icons of the machine list, drawn for large and small views.
QIcon statusIcon(StatusIcon icon);
