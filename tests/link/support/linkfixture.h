#pragma once

#include "common/questions.h"
#include "desk/frontdesk.h"
#include "link/linkserver.h"
#include "support/fakepresenter.h"
#include "support/teststore.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <memory>

// A client program as the tests drive it: raw bytes out, messages in (split after each
// 0x00 "OK$", the trailer kept). Never blocks the server's thread.
class TestClient final : public QObject
{
public:
    explicit TestClient(quint16 port, const QHostAddress &bind = QHostAddress());

    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    QTcpSocket &socket() { return m_socket; }

    void sendBytes(const QByteArray &bytes);
    // tag, then each field after a 0x00, closed with the end mark 0x00 "OK$" so that requests
    // sent in a row stay apart.
    void send(const QString &tag, const QStringList &fields = {});
    // The same without the end mark, as older client programs send: one arrival, one message.
    void sendBare(const QString &tag, const QStringList &fields = {});
    void close();

    // Waits until `count` messages have arrived in all (not counting those taken).
    bool waitFor(int count, int ms = 5000);
    QByteArray take();
    QList<QByteArray> messages;

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
};

// A client connected to `server` (bound to `bind` when given).
std::unique_ptr<TestClient> connectedTo(LinkServer &server, const QString &bind = QString());
// The same, announced as `machine`, its two lists arrived (and taken).
std::unique_ptr<TestClient> announcedTo(LinkServer &server, int machine, const QString &bind = QString());

// A temporary store (on the server `serverConnection` names, if given), a front desk on it
// and a link server on an ephemeral port.
struct LinkFixture
{
    explicit LinkFixture(const QString &serverConnection = QString());
    ~LinkFixture();

    // After rows were added through `store`: the machine list again.
    void reload() { desk.rebuildList(); }
    std::unique_ptr<TestClient> connect(const QString &bind = QString()) { return connectedTo(*server, bind); }
    std::unique_ptr<TestClient> announced(int machine, const QString &bind)
    {
        return announcedTo(*server, machine, bind);
    }
    // Sends "_gets" "good" and returns the next message: a request that did nothing shows as
    // the goods list coming next.
    QByteArray probe(TestClient &client);

    TestStore store;
    FrontDesk desk;
    FakePresenter presenter;
    std::unique_ptr<LinkServer> server;
};

// Text encoded in code page 936.
QByteArray cp(const QString &text);

// A byte literal with its 0x00 bytes: bin("_comm\0start\0OK$").
template <size_t N> QByteArray bin(const char (&literal)[N])
{
    return QByteArray(literal, qsizetype(N - 1));
}
