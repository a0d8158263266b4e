#pragma once

#include "support/testdesk.h"
#include "web/webserver.h"

#include <QByteArray>
#include <QHash>
#include <QTemporaryDir>

// An answer as it came over the wire.
struct HttpsReply
{
    int status = 0;                               // 0: no HTTP answer at all (refused, closed)
    QHash<QByteArray, QList<QByteArray>> headers; // names in lower case
    QByteArray body;

    QByteArray header(const QByteArray &name) const { return headers.value(name).value(0); }
};

using Headers = QList<std::pair<QByteArray, QByteArray>>;

// A desk on the sample day of trade (2024-05-01, the clock fixed at noon) with four machines
// and the operators 老板 (D), 店长 (C), 收银 (A), each with the password "pw-" + name, and
// its web console listening on a port of its own on the loopback address.
class WebFixture
{
public:
    // With `serverConnection` the desk's store is in that schema of a database server.
    explicit WebFixture(const WebServer::Limits &limits = {}, const QString &serverConnection = QString());
    ~WebFixture();

    TestDesk t;
    QTemporaryDir folder;
    WebServer server{t.desk};
    quint16 port = 0;

    // One request on a fresh TLS connection, answered or closed within 20 s.
    HttpsReply request(const QByteArray &method, const QString &target, const Headers &headers = {},
                       const QByteArray &body = {});
    HttpsReply get(const QString &target, const QString &token = QString());
    HttpsReply postLogin(const QString &name, const QString &password);
    // Logs in; the session token, empty when refused.
    QString login(const QString &name, const QString &password);

    static QByteArray cookie(const QString &token);
    // Trail entries of `kind`, oldest first.
    QList<audit::Entry> trail(const QString &kind);
};

HttpsReply parseReply(const QByteArray &bytes);
