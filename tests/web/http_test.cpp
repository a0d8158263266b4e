#include "../reports/support/sampletrade.h"
#include "common/clock.h"
#include "reports/reportjob.h"
#include "reports/reporttext.h"
#include "billing/fee.h"
#include "billing/machinelist.h"
#include "store/machinetable.h"
#include "support/testserver.h"
#include "support/teststore.h"
#include "support/webfixture.h"
#include "web/certificate.h"
#include "web/websessions.h"

#include <QFile>
#include <QSignalSpy>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTest>

// The web console over real TLS connections: who gets in, what a request without a live
// session gets, the answers to wrong requests, and that nothing a browser does writes the
// store or holds the server.
class WebHttpTest : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
    void logins_data();
    void logins();
    void guessingIsThrottled();
    void logoutEndsTheSession();
    void pagesOnlyRead();
    void downloadsCarryTheDesksFigures();
    void plainHttpIsRefused();
    void slowClientsAreCutOffAndOthersServed();
    void certificateIsMadeOnceWithAPrivateKey();
    void chainBranchesAreChosen();
};

void WebHttpTest::requests_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("target");
    // "none", "live", "expired" (idle 30 minutes), "forged" (well formed, never given),
    // "garbage" (not a token at all)
    QTest::addColumn<QString>("session");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<QString>("contains");

    const QString none = QStringLiteral("none");
    const QString live = QStringLiteral("live");
    // Without a live session nothing but the login page shows.
    QTest::newRow("page, no session")
        << QByteArray("GET") << "/machines" << none << 303 << QByteArray("/login") << "";
    QTest::newRow("root, no session")
        << QByteArray("GET") << "/" << none << 303 << QByteArray("/login") << "";
    QTest::newRow("data, no session")
        << QByteArray("GET") << "/api/machines" << none << 401 << QByteArray() << "请重新登录";
    QTest::newRow("report, no session")
        << QByteArray("GET") << "/reports.csv?kind=2" << none << 303 << QByteArray("/login") << "";
    QTest::newRow("trail, expired") << QByteArray("GET") << "/trail"
                                    << "expired" << 303 << QByteArray("/login") << "";
    QTest::newRow("data, expired") << QByteArray("GET") << "/api/machines"
                                   << "expired" << 401 << QByteArray() << "";
    QTest::newRow("page, forged") << QByteArray("GET") << "/today"
                                  << "forged" << 303 << QByteArray("/login") << "";
    QTest::newRow("page, garbage cookie") << QByteArray("GET") << "/machines"
                                          << "garbage" << 303 << QByteArray("/login") << "";
    QTest::newRow("login page") << QByteArray("GET") << "/login" << none << 200 << QByteArray() << "用户名称";
    QTest::newRow("login page, logged in")
        << QByteArray("GET") << "/login" << live << 303 << QByteArray("/machines") << "";
    // With one, the pages and their data.
    QTest::newRow("machines") << QByteArray("GET") << "/machines" << live << 200 << QByteArray()
                              << "2台记费中 0台暂停中";
    QTest::newRow("machines data") << QByteArray("GET") << "/api/machines" << live << 200 << QByteArray()
                                   << "即将到点";
    QTest::newRow("trail") << QByteArray("GET") << "/trail?from=2024-05-01&machine=3" << live << 200
                           << QByteArray() << "最新校验码";
    // Anything else is unknown, logged in or not; no path reaches a file.
    QTest::newRow("unknown") << QByteArray("GET") << "/admin" << none << 404 << QByteArray() << "";
    QTest::newRow("unknown, logged in")
        << QByteArray("GET") << "/machines/1" << live << 404 << QByteArray() << "没有这个页面";
    QTest::newRow("store file") << QByteArray("GET") << "/dbase.mdb" << live << 404 << QByteArray() << "";
    QTest::newRow("key file") << QByteArray("GET") << "/web.key" << live << 404 << QByteArray() << "";
    QTest::newRow("dot-dot") << QByteArray("GET") << "/reports/../../dbase.mdb" << live << 404 << QByteArray()
                             << "";
    QTest::newRow("wrong method") << QByteArray("PUT") << "/machines" << live << 405 << QByteArray() << "";
    QTest::newRow("logout by GET") << QByteArray("GET") << "/logout" << live << 405 << QByteArray() << "";
    QTest::newRow("branch by GET") << QByteArray("GET") << "/branch" << live << 405 << QByteArray() << "";
    // Malformed input.
    QTest::newRow("report kind") << QByteArray("GET") << "/reports?kind=7" << live << 400 << QByteArray()
                                 << "";
    QTest::newRow("report date") << QByteArray("GET") << "/reports?from=2024-13-01" << live << 400
                                 << QByteArray() << "";
    QTest::newRow("report preset") << QByteArray("GET") << "/reports?preset=yearly" << live << 400
                                   << QByteArray() << "";
    QTest::newRow("report twice") << QByteArray("GET") << "/reports?kind=1&kind=2" << live << 400
                                  << QByteArray() << "";
    QTest::newRow("report machine") << QByteArray("GET") << "/reports.csv?machine=-1" << live << 400
                                    << QByteArray() << "";
    QTest::newRow("report backwards") << QByteArray("GET") << "/reports?from=2024-05-02&to=2024-05-01" << live
                                      << 400 << QByteArray() << "开始日期晚于结束日期";
    QTest::newRow("trail machine") << QByteArray("GET") << "/trail?machine=x" << live << 400 << QByteArray()
                                   << "";
    QTest::newRow("sql in a filter") << QByteArray("GET") << "/trail?operator=%27%20OR%201=1--" << live << 200
                                     << QByteArray() << "共0条";
    QTest::newRow("unknown parameter")
        << QByteArray("GET") << "/machines?debug=1" << live << 400 << QByteArray() << "";
}

void WebHttpTest::requests()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, target);
    QFETCH(QString, session);
    QFETCH(int, status);
    QFETCH(QByteArray, location);
    QFETCH(QString, contains);

    WebFixture f;
    QString token;
    if (session == QStringLiteral("live") || session == QStringLiteral("expired")) {
        token = f.login(QStringLiteral("老板"), QStringLiteral("pw-老板"));
        QVERIFY(!token.isEmpty());
        if (session == QStringLiteral("expired"))
            Clock::advanceSeconds(WebSessions::kIdleMinutes * 60);
    } else if (session == QStringLiteral("forged")) {
        token = QString(64, u'a');
    } else if (session == QStringLiteral("garbage")) {
        token = QStringLiteral("'; DROP TABLE yhszb; --");
    }
    const HttpsReply r = f.request(
        method, target, token.isEmpty() ? Headers{} : Headers{{"Cookie", WebFixture::cookie(token)}});
    QCOMPARE(r.status, status);
    QCOMPARE(r.header("location"), location);
    QVERIFY2(QString::fromUtf8(r.body).contains(contains), r.body.left(300).constData());
    // Every answer says it is not to be framed, sniffed or kept.
    QCOMPARE(r.header("x-frame-options"), QByteArray("DENY"));
    QCOMPARE(r.header("x-content-type-options"), QByteArray("nosniff"));
    QVERIFY(r.header("content-security-policy").contains("frame-ancestors 'none'"));
    QCOMPARE(r.header("cache-control"), QByteArray("no-store"));
}

void WebHttpTest::logins_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("kind");

    QTest::newRow("super administrator") << "老板"
                                         << "pw-老板" << 303 << "网页登录";
    QTest::newRow("manager") << "店长"
                             << "pw-店长" << 303 << "网页登录";
    QTest::newRow("cashier, right password") << "收银"
                                             << "pw-收银" << 403 << "网页登录失败";
    QTest::newRow("wrong password") << "老板"
                                    << "pw-店长" << 401 << "网页登录失败";
    QTest::newRow("password of another case") << "老板"
                                              << "PW-老板" << 401 << "网页登录失败";
    QTest::newRow("unknown name") << "老板娘"
                                  << "pw-老板" << 401 << "网页登录失败";
}

void WebHttpTest::logins()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(int, status);
    QFETCH(QString, kind);

    WebFixture f;
    const HttpsReply r = f.postLogin(name, password);
    QCOMPARE(r.status, status);
    const QByteArray cookie = r.header("set-cookie");
    if (status == 303) {
        QCOMPARE(r.header("location"), QByteArray("/machines"));
        // A random token of 256 bits, kept from scripts, sent only over TLS, never cross-site.
        QVERIFY(cookie.startsWith(WebConsole::cookieName() + '='));
        QVERIFY(WebSessions::wellFormed(
            QString::fromLatin1(cookie.mid(WebConsole::cookieName().size() + 1, 64))));
        for (const char *attribute : {"HttpOnly", "Secure", "SameSite=Strict", "Path=/", "Max-Age=1800"})
            QVERIFY2(cookie.contains(attribute), attribute);
    } else {
        QVERIFY(cookie.isEmpty());
        QVERIFY(QString::fromUtf8(r.body).contains(QStringLiteral("id=\"message\"")));
    }
    // The entry names who tried, from where.
    const QList<audit::Entry> entries = f.trail(kind);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().operatorName, name);
    QVERIFY(entries.first().details.contains(QStringLiteral("127.0.0.1")));
    QCOMPARE(f.trail(kind == QStringLiteral("网页登录") ? QStringLiteral("网页登录失败")
                                                        : QStringLiteral("网页登录"))
                 .size(),
             0);
}

void WebHttpTest::guessingIsThrottled()
{
    WebFixture f;
    // A second apart, under the desk's cap on checks per second.
    for (int i = 0; i < GuessThrottle::kFailures; ++i) {
        QCOMPARE(f.postLogin(QStringLiteral("老板"), QStringLiteral("guess%1").arg(i)).status, 401);
        Clock::advanceSeconds(1);
    }
    // The right password is not even looked at while the address is paused.
    const HttpsReply paused = f.postLogin(QStringLiteral("老板"), QStringLiteral("pw-老板"));
    QCOMPARE(paused.status, 429);
    QVERIFY(paused.header("set-cookie").isEmpty());
    QCOMPARE(f.trail(QStringLiteral("网页登录失败")).size(), GuessThrottle::kFailures + 1);
    QVERIFY(f.trail(QStringLiteral("网页登录失败")).last().details.contains(QStringLiteral("尝试次数太多")));
    Clock::advanceSeconds(GuessThrottle::kPauseSeconds);
    QVERIFY(!f.login(QStringLiteral("老板"), QStringLiteral("pw-老板")).isEmpty());
}

void WebHttpTest::logoutEndsTheSession()
{
    WebFixture f;
    const QString token = f.login(QStringLiteral("店长"), QStringLiteral("pw-店长"));
    QCOMPARE(f.get(QStringLiteral("/machines"), token).status, 200);
    const HttpsReply out =
        f.request("POST", QStringLiteral("/logout"), {{"Cookie", WebFixture::cookie(token)}});
    QCOMPARE(out.status, 303);
    QCOMPARE(out.header("location"), QByteArray("/login"));
    QVERIFY(out.header("set-cookie").contains("Max-Age=0"));
    QCOMPARE(f.get(QStringLiteral("/machines"), token).status, 303);
    const QList<audit::Entry> entries = f.trail(QStringLiteral("网页退出"));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().operatorName, QStringLiteral("店长"));
    // A form posted from elsewhere does not log anybody out.
    const QString again = f.login(QStringLiteral("店长"), QStringLiteral("pw-店长"));
    const HttpsReply foreign =
        f.request("POST", QStringLiteral("/logout"),
                  {{"Cookie", WebFixture::cookie(again)}, {"Origin", "https://evil.example"}});
    QCOMPARE(foreign.status, 403);
    QCOMPARE(f.get(QStringLiteral("/machines"), again).status, 200);
}

void WebHttpTest::pagesOnlyRead()
{
    WebFixture f;
    // A password kept in clear stays as it is: checking it from the web writes nothing.
    const QString token = f.login(QStringLiteral("老板"), QStringLiteral("pw-老板"));
    QVERIFY(!token.isEmpty());
    const QStringList before = tableDump(f.t.db());
    for (const char *target :
         {"/machines", "/api/machines", "/today", "/reports", "/reports?kind=0&from=2024-04-01&to=2024-05-31",
          "/reports?kind=1&preset=monthly", "/reports?kind=2&machine=2", "/reports.csv?kind=1",
          "/reports.xlsx?kind=0", "/trail", "/trail?operator=老板&kind=网页登录"}) {
        const HttpsReply r = f.get(QString::fromUtf8(target), token);
        QVERIFY2(r.status == 200, target);
    }
    QCOMPARE(tableDump(f.t.db()), before);
    QVERIFY(!f.login(QStringLiteral("老板"), QStringLiteral("wrong")).size());
    QCOMPARE(tableDump(f.t.db()), before);
}

void WebHttpTest::downloadsCarryTheDesksFigures()
{
    WebFixture f;
    const QString token = f.login(QStringLiteral("老板"), QStringLiteral("pw-老板"));
    // The desk's own report job over the same day.
    ReportJob job(f.t.db(), {ReportKind::Income, sample::at(1, 0, 0), sample::at(1, 23, 59, 59), 0});
    QSignalSpy done(&job, &ReportJob::finished);
    job.start();
    QVERIFY(done.wait());

    const HttpsReply csv = f.get(QStringLiteral("/reports.csv?kind=2&from=2024-05-01&to=2024-05-01"), token);
    QCOMPARE(csv.status, 200);
    QVERIFY(csv.header("content-type").startsWith("text/csv"));
    QVERIFY(csv.header("content-disposition").startsWith("attachment;"));
    const QString text = QString::fromUtf8(csv.body);
    // Plain numbers a spreadsheet adds up, as the desk's own export writes them.
    const auto yuan = [](qint64 cents) { return QString::number(double(cents) / 100, 'f', 2); };
    QVERIFY2(text.contains(QStringLiteral("总收入,") + yuan(job.income().totalCents())), csv.body.constData());
    QVERIFY(text.contains(QStringLiteral("总实收金额,") + yuan(job.income().receivedCents())));

    const HttpsReply page = f.get(QStringLiteral("/reports?kind=2&from=2024-05-01&to=2024-05-01"), token);
    QVERIFY(QString::fromUtf8(page.body).contains(QStringLiteral("总收入 ： ") +
                                                  centsOneDecimal(job.income().totalCents())));

    const HttpsReply book =
        f.get(QStringLiteral("/reports.xlsx?kind=0&from=2024-05-01&to=2024-05-01"), token);
    QCOMPARE(book.status, 200);
    QVERIFY(book.body.startsWith("PK")); // a zip, as every XLSX is
}

void WebHttpTest::plainHttpIsRefused()
{
    WebFixture f;
    QTcpSocket plain;
    QByteArray received;
    connect(&plain, &QIODevice::readyRead, this, [&] { received += plain.readAll(); });
    plain.connectToHost(QStringLiteral("127.0.0.1"), f.port);
    QVERIFY(QTest::qWaitFor([&] { return plain.state() == QAbstractSocket::ConnectedState; }, 10000));
    plain.write("GET /login HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QVERIFY(QTest::qWaitFor([&] { return plain.state() == QAbstractSocket::UnconnectedState; }, 20000));
    QVERIFY2(!received.contains("HTTP/1.1") && !received.contains("登录"), received.constData());
    // The server is none the worse for it.
    QCOMPARE(f.get(QStringLiteral("/login")).status, 200);
}

void WebHttpTest::slowClientsAreCutOffAndOthersServed()
{
    WebServer::Limits limits;
    limits.connectionsPerAddress = 3;
    limits.idleMilliseconds = 400;
    WebFixture f(limits);

    // Two browsers that start a request and never finish it.
    QList<QSslSocket *> slow;
    for (int i = 0; i < 2; ++i) {
        auto *s = new QSslSocket(this);
        s->setPeerVerifyMode(QSslSocket::VerifyNone);
        s->connectToHostEncrypted(QStringLiteral("127.0.0.1"), f.port);
        QVERIFY(QTest::qWaitFor([&] { return s->isEncrypted(); }, 10000));
        s->write("GET /machines HTTP/1.1\r\nHost: x\r\n");
        slow << s;
    }
    // Meanwhile a third is answered.
    QCOMPARE(f.get(QStringLiteral("/login")).status, 200);

    // A fourth connection beyond the limit while the slow ones hold theirs is dropped unanswered.
    QTcpSocket extra[2];
    for (QTcpSocket &s : extra)
        s.connectToHost(QStringLiteral("127.0.0.1"), f.port);
    QVERIFY(QTest::qWaitFor([&] { return extra[1].state() == QAbstractSocket::UnconnectedState; }, 10000));

    // The silent ones are closed by the server.
    for (QSslSocket *s : slow)
        QVERIFY(QTest::qWaitFor([&] { return s->state() == QAbstractSocket::UnconnectedState; }, 10000));
    qDeleteAll(slow);
    QCOMPARE(f.get(QStringLiteral("/login")).status, 200);

    // A request larger than a connection may buffer is never read to its end.
    QSslSocket big;
    big.setPeerVerifyMode(QSslSocket::VerifyNone);
    big.connectToHostEncrypted(QStringLiteral("127.0.0.1"), f.port);
    QVERIFY(QTest::qWaitFor([&] { return big.isEncrypted(); }, 10000));
    big.write("POST /login HTTP/1.1\r\nHost: x\r\nContent-Type: "
              "application/x-www-form-urlencoded\r\nContent-Length: "
              "10000000\r\n\r\n" +
              QByteArray(1 << 20, 'a'));
    QVERIFY(QTest::qWaitFor([&] { return big.state() == QAbstractSocket::UnconnectedState; }, 20000));
    QCOMPARE(f.trail(QStringLiteral("网页登录失败")).size(), 0);
}

void WebHttpTest::certificateIsMadeOnceWithAPrivateKey()
{
    WebFixture f;
    const QString key = QDir(f.folder.path()).filePath(webcert::keyFileName());
    const QString cert = QDir(f.folder.path()).filePath(webcert::certificateFileName());
    QCOMPARE(QFile::permissions(key) &
                 (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());
    QFile file(cert);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray first = file.readAll();
    // A restart keeps the pair (an owner's own pair is never replaced).
    QVERIFY(f.server.start(f.folder.path(), 0, QHostAddress::LocalHost));
    file.seek(0);
    QCOMPARE(file.readAll(), first);
    // A broken pair is reported, not silently replaced.
    QFile broken(key);
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("not a key");
    broken.close();
    const Result<quint16> refused = f.server.start(f.folder.path(), 0, QHostAddress::LocalHost);
    QVERIFY(!refused);
    QVERIFY(refused.error().contains(QStringLiteral("web.key")));
}

// A branch of a chain on a server shows any branch of its own chain, chosen on the page, read
// from that branch's tables; never another chain's, never a name the chain does not have.
void WebHttpTest::chainBranchesAreChosen()
{
    SKIP_WITHOUT_SERVER(true);
    ServerSchema chain, own, other, strangerChain, stranger;
    const auto branch = [](const ServerSchema &b, const ServerSchema &c) {
        return testserver::connection() + QStringLiteral(" options='-csearch_path=%1,%2'").arg(b.name(), c.name());
    };
    TestStore otherStore(branch(other, chain));
    const Machine seventh = otherStore.addMachine(7, 6, MachineStatus::Standby, QStringLiteral("10.0.1.7"));
    otherStore.startSession(7, sample::kNow.addSecs(-7200));
    QVERIFY(audit::attach(otherStore.db(), QString()));
    audit::Entry entry;
    entry.time = sample::kNow;
    entry.kind = QStringLiteral("开始记费");
    entry.details = QStringLiteral("另一分店的记录");
    QVERIFY(audit::append(otherStore.db(), entry));
    TestStore strangerStore(branch(stranger, strangerChain));
    WebFixture f({}, branch(own, chain));
    const QString token = f.login(QStringLiteral("老板"), QStringLiteral("pw-老板"));
    QVERIFY(!token.isEmpty());
    const auto choose = [&](const QString &name, const QByteArray &back) {
        return f.request("POST", QStringLiteral("/branch"),
                         {{"Cookie", WebFixture::cookie(token)},
                          {"Content-Type", "application/x-www-form-urlencoded"}},
                         "branch=" + name.toUtf8() + "&back=" + back);
    };

    const QByteArray ownPage = f.get(QStringLiteral("/machines"), token).body;
    QVERIFY(ownPage.contains("<option selected>" + own.name().toUtf8() + "</option>"));
    QVERIFY(ownPage.contains("<option>" + other.name().toUtf8() + "</option>"));
    QVERIFY(!ownPage.contains(stranger.name().toUtf8()));
    QCOMPARE(choose(stranger.name(), "/machines").status, 400);
    QCOMPARE(choose(QStringLiteral("x' OR 1=1"), "/machines").status, 400);

    const HttpsReply chosen = choose(other.name(), "/today");
    QCOMPARE(chosen.status, 303);
    QCOMPARE(chosen.header("location"), QByteArray("/today"));
    QCOMPARE(f.get(QStringLiteral("/today"), token).status, 200);
    const QByteArray data = f.get(QStringLiteral("/api/machines"), token).body;
    // The other branch's machine, billed as its own counter would show it.
    const EntryColumns shown = *FlashListView(*MachineTable(otherStore.db()).byRowid(seventh.rowid),
                                              Tariff::read(otherStore.db()), 0, sample::kNow);
    QVERIFY2(data.contains("7号机") && data.contains("记费中") && data.contains(shown[5]->toUtf8()), data.constData());
    QVERIFY(!data.contains("1号机"));
    QVERIFY(f.get(QStringLiteral("/machines"), token).body.contains("<option selected>" + other.name().toUtf8()));
    QVERIFY(f.get(QStringLiteral("/trail"), token).body.contains("另一分店的记录"));

    QCOMPARE(choose(own.name(), "/elsewhere").header("location"), QByteArray("/machines"));
    const QByteArray ownAgain = f.get(QStringLiteral("/api/machines"), token).body;
    QVERIFY(ownAgain.contains("1号机") && !ownAgain.contains("7号机"));
    QVERIFY(!f.get(QStringLiteral("/trail"), token).body.contains("另一分店的记录"));
}

QTEST_GUILESS_MAIN(WebHttpTest)
#include "http_test.moc"
