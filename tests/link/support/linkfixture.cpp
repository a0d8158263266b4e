#include "linkfixture.h"

#include "common/cp936.h"
#include "store/database.h"

#include <QTest>

TestClient::TestClient(quint16 port, const QHostAddress &bind)
{
    QObject::connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
        m_buffer += m_socket.readAll();
        const QByteArray end = QByteArrayLiteral("\0OK$");
        for (qsizetype mark; (mark = m_buffer.indexOf(end)) >= 0;) {
            messages.append(m_buffer.left(mark + end.size()));
            m_buffer.remove(0, mark + end.size());
        }
    });
    if (!bind.isNull())
        m_socket.bind(bind, 0);
    m_socket.connectToHost(QHostAddress::LocalHost, port);
}

void TestClient::sendBytes(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

void TestClient::sendBare(const QString &tag, const QStringList &fields)
{
    QByteArray bytes = cp936::encode(tag);
    for (const QString &f : fields)
        bytes += '\0' + cp936::encode(f);
    sendBytes(bytes);
}

void TestClient::send(const QString &tag, const QStringList &fields)
{
    QByteArray bytes = cp936::encode(tag);
    for (const QString &f : fields)
        bytes += '\0' + cp936::encode(f);
    sendBytes(bytes + QByteArrayLiteral("\0OK$"));
}

void TestClient::close()
{
    m_socket.disconnectFromHost();
}

bool TestClient::waitFor(int count, int ms)
{
    return QTest::qWaitFor([&] { return messages.size() >= count; }, ms);
}

QByteArray TestClient::take()
{
    return messages.isEmpty() ? QByteArray() : messages.takeFirst();
}

LinkFixture::LinkFixture(const QString &serverConnection) : store(serverConnection)
{
    if (const Result<> opened = desk.open(store.path()); !opened)
        qFatal("cannot open the desk: %s", qPrintable(opened.error()));
    desk.questions().setPresenter(&presenter);
    server = std::make_unique<LinkServer>(desk);
    desk.attach(*server);
    if (!server->listen(0))
        qFatal("cannot listen");
}

LinkFixture::~LinkFixture()
{
    server.reset();
    desk.questions().setPresenter(nullptr);
}

std::unique_ptr<TestClient> connectedTo(LinkServer &server, const QString &bind)
{
    const int before = server.connectionCount();
    auto client = std::make_unique<TestClient>(server.port(), bind.isEmpty() ? QHostAddress() : QHostAddress(bind));
    if (!QTest::qWaitFor([&] { return client->isConnected() && server.connectionCount() > before; }, 5000))
        qWarning("client did not connect");
    return client;
}

std::unique_ptr<TestClient> announcedTo(LinkServer &server, int machine, const QString &bind)
{
    auto client = connectedTo(server, bind);
    client->send(QStringLiteral("_sele"), {QString::number(machine)});
    if (!QTest::qWaitFor(
            [&] { return !client->messages.isEmpty() && client->messages.last().startsWith("_http"); }, 5000))
        qWarning("the lists did not arrive after the announcement");
    client->messages.clear();
    return client;
}

QByteArray LinkFixture::probe(TestClient &client)
{
    client.send(QStringLiteral("_gets"), {QStringLiteral("good")});
    client.waitFor(1);
    return client.take();
}

QByteArray cp(const QString &text)
{
    return cp936::encode(text);
}
