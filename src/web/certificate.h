#pragma once

#include "common/result.h"

#include <QSslConfiguration>
#include <QString>

// The web console's TLS identity: web.crt and web.key beside the program. On first use a
// self-signed pair is made (the key readable by its owner only); the owner may put their own
// PEM files in their place.
namespace webcert {

QString certificateFileName();
QString keyFileName();

// The server configuration from the pair in `folder`, made first when neither file exists.
Result<QSslConfiguration> serverConfiguration(const QString &folder);

} // namespace webcert
