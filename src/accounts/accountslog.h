#pragma once

#include <QLoggingCategory>

// Failed password checks and silent store failures of the accounts ("corvana.accounts").
Q_DECLARE_LOGGING_CATEGORY(lcAccounts)
