#include "webserver.h"

#include "certificate.h"
#include "desk/frontdesk.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QLoggingCategory>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcWeb)

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 303:
        return "See Other";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 429:
        return "Too Many Requests";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Post:
        return "POST";
    case QHttpServerRequest::Method::Head:
        return "HEAD";
    case QHttpServerRequest::Method::Put:
        return "PUT";
    case QHttpServerRequest::Method::Delete:
        return "DELETE";
    default:
        return "OTHER";
    }
}

// The peer of an accepted descriptor, before any socket object exists for it.
QHostAddress peerOf(qintptr descriptor)
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getpeername(int(descriptor), reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return {};
    QHostAddress peer(reinterpret_cast<sockaddr *>(&address));
    bool v4 = false;
    const quint32 ip4 = peer.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip4) : peer;
}

void writeResponse(QTcpSocket *socket, const WebResponse &r, bool close)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reasonPhrase(r.status) + "\r\n";
    if (!r.body.isEmpty() || r.status != 303)
        head += "Content-Type: " + r.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
    for (const auto &[name, value] : r.headers)
        head += name + ": " + value + "\r\n";
    if (close)
        head += "Connection: close\r\n";
    socket->write(head + "\r\n" + r.body);
    if (close)
        socket->disconnectFromHost();
}

} // namespace

// The listening socket: refuses connections beyond the limits before any handshake, and
// gives each accepted one its buffer limit and its silence timer.
class GuardedSslServer final : public QSslServer
{
public:
    GuardedSslServer(const WebServer::Limits &limits, QObject *parent) : QSslServer(parent), m_limits(limits)
    {
        setHandshakeTimeout(limits.handshakeMilliseconds);
        connect(this, &QSslServer::startedEncryptionHandshake, this, &GuardedSslServer::guard);
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        const QHostAddress peer = peerOf(descriptor);
        m_open.removeIf([](const auto &c) { return c.first.isNull(); });
        const auto fromPeer =
            std::count_if(m_open.begin(), m_open.end(), [&](const auto &c) { return c.second == peer; });
        if (m_open.size() >= m_limits.connections || fromPeer >= m_limits.connectionsPerAddress) {
            qCWarning(lcWeb) << "web connection from" << peer.toString() << "refused: too many open";
            ::close(int(descriptor));
            return;
        }
        m_pendingPeer = peer;
        QSslServer::incomingConnection(descriptor);
    }

private:
    void guard(QSslSocket *socket)
    {
        m_open.append({socket, m_pendingPeer});
        socket->setReadBufferSize(m_limits.readBufferBytes);
        // Silence for too long (a request trickled in, a response never read) ends the
        // connection; any traffic restarts the count.
        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        idle->setInterval(m_limits.idleMilliseconds);
        connect(idle, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        connect(socket, &QIODevice::readyRead, idle, qOverload<>(&QTimer::start));
        connect(socket, &QIODevice::bytesWritten, idle, qOverload<>(&QTimer::start));
        idle->start();
    }

    const WebServer::Limits m_limits;
    QList<std::pair<QPointer<QSslSocket>, QHostAddress>> m_open;
    QHostAddress m_pendingPeer;
};

WebServer::WebServer(FrontDesk &desk, QObject *parent)
    : QAbstractHttpServer(parent), m_desk(desk), m_console(desk)
{
    // The console speaks no WebSocket: an upgrade the base server accepted is closed at once.
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, [this] {
        while (hasPendingWebSocketConnections())
            nextPendingWebSocketConnection().reset();
    });
}

WebServer::~WebServer()
{
    // The sockets go first, while everything they might call into still exists.
    stop();
}

Result<quint16> WebServer::start(const QString &folder, quint16 port, const QHostAddress &address)
{
    stop();
    const Result<QSslConfiguration> tls = webcert::serverConfiguration(folder);
    if (!tls)
        return failure(tls.error());
    auto *listener = new GuardedSslServer(m_limits, this);
    listener->setSslConfiguration(*tls);
    if (!listener->listen(address, port)) {
        const QString why = listener->errorString();
        delete listener;
        return failure(QStringLiteral("端口%1无法使用（%2）").arg(port).arg(why));
    }
    bind(listener);
    m_listener = listener;
    return listener->serverPort();
}

void WebServer::stop()
{
    delete m_listener.data();
}

bool WebServer::isListening() const
{
    return m_listener && m_listener->isListening();
}

bool WebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    WebRequest r;
    r.method = methodName(request.method());
    r.path = request.url().path();
    r.query = request.query();
    r.cookie = request.value("cookie");
    r.origin = request.value("origin");
    r.host = request.value("host");
    r.contentType = request.value("content-type");
    r.body = request.body();
    r.peer = request.remoteAddress().toString();
    const bool close = request.value("connection").toLower() == "close";
    QPointer<QTcpSocket> alive(socket);
    // The reply may come later (a report being read): the socket may be gone by then.
    m_console.handle(r, [alive, close](WebResponse response) {
        if (alive && alive->state() == QAbstractSocket::ConnectedState)
            writeResponse(alive, response, close);
    });
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest &, QTcpSocket *socket)
{
    // Every request is handled above; this only answers should that ever change.
    writeResponse(socket, {404, "text/plain; charset=utf-8", QByteArray(), {}}, true);
}

WebConsoleHost::WebConsoleHost(FrontDesk &desk, const QString &folder, QObject *parent)
    : QObject(parent), m_desk(desk), m_folder(folder)
{
    connect(&WebSettingsHub::instance(), &WebSettingsHub::saved, this, [this](const QString &savedIn) {
        if (savedIn == m_folder)
            apply();
    });
}

WebConsoleHost::~WebConsoleHost()
{
    m_server.reset();
    WebSettingsHub::instance().setStatus(QString());
}

void WebConsoleHost::apply()
{
    const WebSettings wanted = WebSettings::load(m_folder);
    if (m_server && wanted == m_running && m_server->isListening())
        return;
    // A change of port ends the running console's sessions: its browsers log in again.
    m_server.reset();
    m_running = wanted;
    if (!wanted.enabled) {
        WebSettingsHub::instance().setStatus(QString());
        return;
    }
    m_server = std::make_unique<WebServer>(m_desk);
    const Result<quint16> started = m_server->start(m_folder, wanted.port);
    if (!started) {
        qCWarning(lcWeb) << "web console not started:" << started.error();
        m_server.reset();
        WebSettingsHub::instance().setStatus(QStringLiteral("无法启动：%1").arg(started.error()));
        return;
    }
    WebSettingsHub::instance().setStatus(QStringLiteral("正在运行，端口%1").arg(*started));
}
