#pragma once

#include "common/result.h"
#include "webconsole.h"
#include "websettings.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QPointer>
#include <memory>

class FrontDesk;
class GuardedSslServer;

// The web console on the wire: HTTPS only, on the desk's event loop. Each connection is
// bounded (how many at once, per address and in all; how much it may buffer; how long it may
// stay silent), so a slow or hostile browser costs a socket and a little memory, never the
// desk's time.
class WebServer final : public QAbstractHttpServer
{
    Q_OBJECT

public:
    struct Limits
    {
        int connections = 48;
        int connectionsPerAddress = 12;
        qint64 readBufferBytes = 64 * 1024; // a request larger than this never completes
        int idleMilliseconds = 20000;
        int handshakeMilliseconds = 5000;
    };

    explicit WebServer(FrontDesk &desk, QObject *parent = nullptr);

    // Taken by the next start().
    void setLimits(const Limits &limits) { m_limits = limits; }
    ~WebServer() override;

    // Listens on `port` of `address` with the certificate in `folder` (made there on first
    // use); the port actually bound (for port 0), or why it could not.
    Result<quint16> start(const QString &folder, quint16 port,
                          const QHostAddress &address = QHostAddress::Any);
    void stop();
    bool isListening() const;

    WebConsole &console() { return m_console; }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    FrontDesk &m_desk;
    WebConsole m_console;
    Limits m_limits;
    QPointer<GuardedSslServer> m_listener;
};

// Runs the web server as web.ini beside the program says, and again whenever the settings
// dialog saves it. The state is told through WebSettingsHub.
class WebConsoleHost final : public QObject
{
    Q_OBJECT

public:
    WebConsoleHost(FrontDesk &desk, const QString &folder, QObject *parent = nullptr);
    ~WebConsoleHost() override;

    void apply();
    WebServer *server() const { return m_server.get(); }

private:
    FrontDesk &m_desk;
    QString m_folder;
    WebSettings m_running;
    std::unique_ptr<WebServer> m_server;
};
