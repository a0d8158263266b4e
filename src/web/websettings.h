#pragma once

#include "common/result.h"

#include <QObject>
#include <QString>

// Whether the owner's web console runs, and on which port. Kept in web.ini beside the
// program, not in the store: it belongs to this PC (as its certificate does), each counter on
// a database server choosing for itself, and the store's tables, backups and copies stay as
// they are.
struct WebSettings
{
    static constexpr quint16 kDefaultPort = 14915;

    bool enabled = false;
    quint16 port = kDefaultPort;

    static QString fileName() { return QStringLiteral("web.ini"); }
    // Off on the default port when the file is missing or says nothing sensible.
    static WebSettings load(const QString &folder);
    Result<> save(const QString &folder) const;

    bool operator==(const WebSettings &) const = default;
};

// Tells the console that the settings were saved, and the settings dialog how the console
// fares: one per program.
class WebSettingsHub final : public QObject
{
    Q_OBJECT

public:
    static WebSettingsHub &instance();

    // Empty while the console is off; otherwise "running" or why it could not start.
    QString status() const { return m_status; }
    void setStatus(const QString &status);

signals:
    void saved(const QString &folder);
    void statusChanged(const QString &status);

private:
    QString m_status;
};
