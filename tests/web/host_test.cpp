#include "support/webfixture.h"
#include "web/websettings.h"

#include <QTcpServer>
#include <QTest>

// web.ini decides whether the console runs: the host follows every save of the settings.
class WebHostTest : public QObject
{
    Q_OBJECT

private slots:
    void followsTheSettings();
    void settingsFileReadsSafely_data();
    void settingsFileReadsSafely();
};

namespace {

// A port nobody listens on just now.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

void WebHostTest::followsTheSettings()
{
    WebFixture f;
    QTemporaryDir folder;
    WebConsoleHost host(f.t.desk, folder.path());
    WebSettingsHub &hub = WebSettingsHub::instance();

    host.apply(); // no web.ini: off
    QVERIFY(!host.server());
    QVERIFY(hub.status().isEmpty());

    const quint16 port = freePort();
    QVERIFY((WebSettings{true, port}.save(folder.path())));
    QVERIFY(host.server() && host.server()->isListening());
    QCOMPARE(hub.status(), QStringLiteral("正在运行，端口%1").arg(port));

    // A port taken by something else is said, and nothing runs.
    QTcpServer squatter;
    QVERIFY(squatter.listen(QHostAddress::Any, freePort()));
    QVERIFY((WebSettings{true, squatter.serverPort()}.save(folder.path())));
    QVERIFY(!host.server());
    QVERIFY(hub.status().startsWith(QStringLiteral("无法启动：端口%1无法使用").arg(squatter.serverPort())));

    // Saved elsewhere (another program folder) is none of this host's business.
    QTemporaryDir other;
    QVERIFY((WebSettings{true, port}.save(other.path())));
    QVERIFY(!host.server());

    QVERIFY((WebSettings{false, port}.save(folder.path())));
    QVERIFY(!host.server());
    QVERIFY(hub.status().isEmpty());
}

void WebHostTest::settingsFileReadsSafely_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("port");

    QTest::newRow("on") << QByteArray("[web]\nenabled=true\nport=15001\n") << true << 15001;
    QTest::newRow("port out of range") << QByteArray("[web]\nenabled=true\nport=70000\n") << true << 14915;
    QTest::newRow("port not a number") << QByteArray("[web]\nenabled=true\nport=abc\n") << true << 14915;
    QTest::newRow("not ini at all") << QByteArray("\x00\xff garbage") << false << 14915;
}

void WebHostTest::settingsFileReadsSafely()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, enabled);
    QFETCH(int, port);
    QTemporaryDir folder;
    QFile ini(QDir(folder.path()).filePath(WebSettings::fileName()));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(file);
    ini.close();
    QCOMPARE(WebSettings::load(folder.path()), (WebSettings{enabled, quint16(port)}));
}

QTEST_GUILESS_MAIN(WebHostTest)
#include "host_test.moc"
