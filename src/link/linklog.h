#pragma once

#include <QLoggingCategory>

// Silent failures of the client link ("corvana.link").
Q_DECLARE_LOGGING_CATEGORY(lcLink)
