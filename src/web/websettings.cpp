#include "websettings.h"

#include <QDir>
#include <QSettings>

namespace {

const QString kEnabled = QStringLiteral("web/enabled");
const QString kPort = QStringLiteral("web/port");

} // namespace

WebSettings WebSettings::load(const QString &folder)
{
    const QSettings file(QDir(folder).filePath(fileName()), QSettings::IniFormat);
    WebSettings s;
    s.enabled = file.value(kEnabled, false).toBool();
    bool ok = false;
    const uint port = file.value(kPort, kDefaultPort).toUInt(&ok);
    if (ok && port >= 1 && port <= 65535)
        s.port = quint16(port);
    return s;
}

Result<> WebSettings::save(const QString &folder) const
{
    QSettings file(QDir(folder).filePath(fileName()), QSettings::IniFormat);
    file.setValue(kEnabled, enabled);
    file.setValue(kPort, port);
    file.sync();
    if (file.status() != QSettings::NoError)
        return failure(QStringLiteral("无法写入“%1”").arg(QDir::toNativeSeparators(file.fileName())));
    emit WebSettingsHub::instance().saved(folder);
    return {};
}

WebSettingsHub &WebSettingsHub::instance()
{
    static WebSettingsHub hub;
    return hub;
}

void WebSettingsHub::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(status);
}
