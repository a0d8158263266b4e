#include "webfixture.h"

#include "../../reports/support/sampletrade.h"
#include "common/clock.h"

#include <QSslSocket>
#include <QTest>
#include <QUrlQuery>

WebFixture::WebFixture(const WebServer::Limits &limits, const QString &serverConnection) : t(serverConnection)
{
    Clock::fix(sample::kNow);
    sample::addDay(t.store.db());
    for (int n = 1; n <= 4; ++n)
        t.store.addMachine(n, 3, MachineStatus::Standby, QStringLiteral("10.0.0.%1").arg(n));
    t.store.addOperator(QStringLiteral("老板"), QStringLiteral("pw-老板"), QStringLiteral("D"));
    t.store.addOperator(QStringLiteral("店长"), QStringLiteral("pw-店长"), QStringLiteral("C"));
    t.store.addOperator(QStringLiteral("收银"), QStringLiteral("pw-收银"), QStringLiteral("A"));
    // Two sessions running, one of them due in three minutes.
    t.store.startSession(1, sample::kNow.addSecs(-3600));
    t.store.startSession(3, sample::kNow.addSecs(-5400));
    t.open();
    Machine third = t.machine(3);
    third.due = sample::kNow.addSecs(180);
    t.save(third);
    t.desk.refresh();
    server.setLimits(limits);
    const Result<quint16> started = server.start(folder.path(), 0, QHostAddress::LocalHost);
    if (!started)
        qFatal("web server did not start: %s", qPrintable(started.error()));
    port = *started;
}

WebFixture::~WebFixture()
{
    Clock::release();
}

HttpsReply parseReply(const QByteArray &bytes)
{
    HttpsReply r;
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    if (!bytes.startsWith("HTTP/1.1 ") || end < 0)
        return r;
    const QList<QByteArray> lines = bytes.left(end).split('\n');
    r.status = lines.first().mid(9, 3).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        r.headers[line.left(colon).trimmed().toLower()].append(line.mid(colon + 1).trimmed());
    }
    r.body = bytes.mid(end + 4);
    return r;
}

HttpsReply WebFixture::request(const QByteArray &method, const QString &target, const Headers &headers,
                               const QByteArray &body)
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    QByteArray received;
    QObject::connect(&socket, &QIODevice::readyRead, &socket, [&] { received += socket.readAll(); });
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    if (!QTest::qWaitFor(
            [&] { return socket.isEncrypted() || socket.state() == QAbstractSocket::UnconnectedState; },
            20000) ||
        !socket.isEncrypted())
        return {};
    QByteArray head = method + ' ' + target.toUtf8() +
                      " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                      "\r\nConnection: close\r\n";
    for (const auto &[name, value] : headers)
        head += name + ": " + value + "\r\n";
    if (!body.isEmpty() || method == "POST")
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    socket.write(head + "\r\n" + body);
    // An answer that never ends shows as no answer at all.
    if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 20000))
        return {};
    received += socket.readAll();
    return parseReply(received);
}

HttpsReply WebFixture::get(const QString &target, const QString &token)
{
    return request("GET", target, token.isEmpty() ? Headers{} : Headers{{"Cookie", cookie(token)}});
}

HttpsReply WebFixture::postLogin(const QString &name, const QString &password)
{
    QUrlQuery form;
    form.addQueryItem(QStringLiteral("name"), name);
    form.addQueryItem(QStringLiteral("password"), password);
    return request("POST", QStringLiteral("/login"),
                   {{"Content-Type", "application/x-www-form-urlencoded"},
                    {"Origin", "https://127.0.0.1:" + QByteArray::number(port)}},
                   form.toString(QUrl::FullyEncoded).toUtf8());
}

QString WebFixture::login(const QString &name, const QString &password)
{
    const HttpsReply r = postLogin(name, password);
    const QByteArray set = r.header("set-cookie");
    if (r.status != 303 || !set.startsWith(WebConsole::cookieName() + '='))
        return {};
    return QString::fromLatin1(set.mid(WebConsole::cookieName().size() + 1, 64));
}

QByteArray WebFixture::cookie(const QString &token)
{
    return WebConsole::cookieName() + '=' + token.toLatin1();
}

QList<audit::Entry> WebFixture::trail(const QString &kind)
{
    return audit::entries(t.db(), {}, {}, QString(), 0, kind);
}
