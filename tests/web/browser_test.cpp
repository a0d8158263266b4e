#include "../reports/support/sampletrade.h"
#include "billing/sessionstart.h"
#include "reports/reportjob.h"
#include "reports/reporttext.h"
#include "support/webfixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

// The web console in a real browser: Debian's chromium, headless, driven over the DevTools
// protocol by tests/web/cdp-bridge.js while this process runs the desk and its console. With
// CORVANA_WEB_SHOTS naming a folder, every page is also photographed at phone and desktop
// sizes there.
class WebBrowserTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void ownerVisit();
    void cleanupTestCase();

private:
    // Sends a command to the bridge and waits for its answer (the desk keeps running).
    QJsonObject call(QJsonObject command);
    QJsonObject go(const QString &path);
    bool waitFor(const QString &expression, int timeout = 10000);
    QString text(const QString &expression);
    void shoot(const QString &name);

    QProcess m_bridge;
    QByteArray m_out;
    QTemporaryDir m_profile;
    int m_nextId = 1;
    QString m_shots;
    std::unique_ptr<WebFixture> m_fixture;
};

void WebBrowserTest::initTestCase()
{
    const bool ci = qEnvironmentVariable("CI") == QStringLiteral("true");
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    const QString bridge = qEnvironmentVariable("CORVANA_CDP_BRIDGE");
    if (chromium.isEmpty() || node.isEmpty()) {
        // CI installs both (scripts/install-deps.sh); there, missing one is a failure.
        if (ci)
            QFAIL("chromium or node is missing");
        QSKIP("chromium or node is not installed");
    }
    QVERIFY2(QFile::exists(bridge), "CORVANA_CDP_BRIDGE does not name the bridge script");
    m_shots = qEnvironmentVariable("CORVANA_WEB_SHOTS");

    m_fixture = std::make_unique<WebFixture>();
    connect(&m_bridge, &QProcess::readyReadStandardOutput, this,
            [this] { m_out += m_bridge.readAllStandardOutput(); });
    m_bridge.setProcessChannelMode(QProcess::SeparateChannels);
    m_bridge.start(node, {bridge, chromium, m_profile.path()});
    QVERIFY(m_bridge.waitForStarted());
    // The bridge says it is attached to a page first.
    QVERIFY(QTest::qWaitFor([this] { return m_out.contains('\n'); }, 60000));
    const QByteArray first = m_out.left(m_out.indexOf('\n'));
    m_out.remove(0, first.size() + 1);
    QVERIFY2(QJsonDocument::fromJson(first).object().value(QStringLiteral("ok")).toBool(), first.constData());
}

void WebBrowserTest::cleanupTestCase()
{
    if (m_bridge.state() == QProcess::Running) {
        call({{QStringLiteral("cmd"), QStringLiteral("quit")}});
        m_bridge.closeWriteChannel();
        if (!QTest::qWaitFor([this] { return m_bridge.state() == QProcess::NotRunning; }, 20000)) {
            m_bridge.kill();
            m_bridge.waitForFinished();
        }
    }
    m_fixture.reset();
}

QJsonObject WebBrowserTest::call(QJsonObject command)
{
    const int id = m_nextId++;
    command.insert(QStringLiteral("id"), id);
    m_bridge.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
    QJsonObject answer;
    // No answer in time leaves `answer` empty, which reads as a failure.
    (void)QTest::qWaitFor(
        [&] {
            qsizetype end;
            while ((end = m_out.indexOf('\n')) >= 0) {
                const QJsonObject line = QJsonDocument::fromJson(m_out.left(end)).object();
                m_out.remove(0, end + 1);
                if (line.value(QStringLiteral("id")).toInt() == id ||
                    line.value(QStringLiteral("id")).toInt() == 0) {
                    answer = line;
                    return true;
                }
            }
            return m_bridge.state() == QProcess::NotRunning;
        },
        60000);
    if (!answer.value(QStringLiteral("ok")).toBool())
        qWarning() << "bridge:" << command << answer;
    return answer;
}

QJsonObject WebBrowserTest::go(const QString &path)
{
    return call(
        {{QStringLiteral("cmd"), QStringLiteral("goto")},
         {QStringLiteral("url"), QStringLiteral("https://127.0.0.1:%1%2").arg(m_fixture->port).arg(path)}});
}

bool WebBrowserTest::waitFor(const QString &expression, int timeout)
{
    return call({{QStringLiteral("cmd"), QStringLiteral("wait")},
                 {QStringLiteral("expr"), expression},
                 {QStringLiteral("timeout"), timeout}})
        .value(QStringLiteral("ok"))
        .toBool();
}

QString WebBrowserTest::text(const QString &expression)
{
    return call({{QStringLiteral("cmd"), QStringLiteral("eval")}, {QStringLiteral("expr"), expression}})
        .value(QStringLiteral("value"))
        .toString();
}

void WebBrowserTest::shoot(const QString &name)
{
    if (m_shots.isEmpty())
        return;
    for (const auto &[w, h] : {std::pair{360, 740}, std::pair{1280, 800}})
        call({{QStringLiteral("cmd"), QStringLiteral("shot")},
              {QStringLiteral("width"), w},
              {QStringLiteral("height"), h},
              {QStringLiteral("path"),
               QDir(m_shots).filePath(QStringLiteral("%1-%2x%3.png").arg(name).arg(w).arg(h))}});
}

void WebBrowserTest::ownerVisit()
{
    WebFixture &f = *m_fixture;
    const QString onPath = QStringLiteral("location.pathname == '%1'");
    auto submit = [this](const QString &name, const QString &password) {
        text(QStringLiteral("document.getElementById('name').value = %1;"
                            "document.getElementById('password').value = %2;"
                            "document.getElementById('submit').click(); 1")
                 .arg(QString::fromUtf8(
                          QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact).mid(1).chopped(1)),
                      QString::fromUtf8(QJsonDocument(QJsonArray{password})
                                            .toJson(QJsonDocument::Compact)
                                            .mid(1)
                                            .chopped(1))));
    };

    // Without a session the browser lands on the login page.
    QVERIFY(go(QStringLiteral("/machines")).value(QStringLiteral("ok")).toBool());
    QVERIFY(waitFor(onPath.arg(QStringLiteral("/login"))));
    shoot(QStringLiteral("login"));

    // A wrong password is refused and said so.
    submit(QStringLiteral("老板"), QStringLiteral("wrong"));
    QVERIFY(waitFor(QStringLiteral(
        "(document.getElementById('message')||{}).textContent == '用户名或密码错误，请重试。'")));
    QVERIFY(text(QStringLiteral("document.cookie")).isEmpty());

    // The right one opens 机器.
    submit(QStringLiteral("老板"), QStringLiteral("pw-老板"));
    QVERIFY(waitFor(onPath.arg(QStringLiteral("/machines"))));
    // The cookie is HttpOnly: no script on the page can read it.
    QVERIFY(text(QStringLiteral("document.cookie")).isEmpty());
    QCOMPARE(text(QStringLiteral("document.getElementById('counts').textContent")),
             QStringLiteral("2台记费中 0台暂停中"));
    shoot(QStringLiteral("machines"));

    // A start made at the desk shows within 6 s, without reloading the page.
    text(QStringLiteral("window.notReloaded = true; 1"));
    f.t.desk.setOperator(QStringLiteral("收银"), QStringLiteral("A"));
    QVERIFY(f.t.desk.shifts().open());
    SessionInput prepaid;
    prepaid.hours = QStringLiteral("1");
    prepaid.prepaid = QStringLiteral("5");
    QVERIFY(f.t.desk.startTiming(2, prepaid, false));
    const QString started =
        QStringLiteral("window.notReloaded && [...document.querySelectorAll('#machines tr')].some(tr => "
                       "tr.textContent.includes('2号机') && tr.textContent.includes('记费中')) && "
                       "document.getElementById('counts').textContent == '3台记费中 0台暂停中'");
    QVERIFY(waitFor(started, 6000));

    // 今日 and 报表 show the desk's own figures: its report job over the same day.
    ReportJob job(f.t.db(), {ReportKind::Income, sample::at(1, 0, 0), sample::at(1, 23, 59, 59), 0});
    QSignalSpy done(&job, &ReportJob::finished);
    job.start();
    QVERIFY(done.wait());
    const QString total = centsOneDecimal(job.income().totalCents());

    QVERIFY(go(QStringLiteral("/today")).value(QStringLiteral("ok")).toBool());
    QVERIFY(waitFor(QStringLiteral("!!document.getElementById('total')")));
    QCOMPARE(text(QStringLiteral("document.getElementById('total').textContent")), total);
    // The open shift's drawer holds the money prepaid at the start.
    QCOMPARE(text(QStringLiteral("document.getElementById('drawer').textContent")), centsOneDecimal(500));
    shoot(QStringLiteral("today"));

    QVERIFY(go(QStringLiteral("/reports?kind=2&from=2024-05-01&to=2024-05-01"))
                .value(QStringLiteral("ok"))
                .toBool());
    QVERIFY(waitFor(QStringLiteral("!!document.getElementById('report')")));
    const QStringList lines =
        text(QStringLiteral("document.getElementById('report').innerText")).split(u'\n');
    const QStringList desk = plainText(job.income().text(sample::kNow.date())).split(u'\n');
    const auto totalLine = [](const QStringList &l) {
        return l.filter(QStringLiteral("总收入 ：")).value(0).trimmed();
    };
    QCOMPARE(totalLine(lines), totalLine(desk));
    QVERIFY(totalLine(lines).endsWith(total));
    shoot(QStringLiteral("reports"));
    QVERIFY(go(QStringLiteral("/reports?kind=0&from=2024-04-01&to=2024-05-31"))
                .value(QStringLiteral("ok"))
                .toBool());
    shoot(QStringLiteral("reports-machinetime"));

    QVERIFY(go(QStringLiteral("/trail?from=2024-05-01&to=2024-05-01")).value(QStringLiteral("ok")).toBool());
    QVERIFY(text(QStringLiteral("document.getElementById('verify').textContent"))
                .startsWith(QStringLiteral("记录完整")));
    shoot(QStringLiteral("trail"));

    // Logout ends it: the pages lead back to the login.
    text(QStringLiteral("document.getElementById('logout').click(); 1"));
    QVERIFY(waitFor(onPath.arg(QStringLiteral("/login"))));
    QVERIFY(go(QStringLiteral("/today")).value(QStringLiteral("ok")).toBool());
    QVERIFY(waitFor(onPath.arg(QStringLiteral("/login"))));
    const QStringList kinds = {QStringLiteral("网页登录失败"), QStringLiteral("网页登录"),
                               QStringLiteral("网页退出")};
    for (const QString &kind : kinds) {
        const QList<audit::Entry> entries = f.trail(kind);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().operatorName, QStringLiteral("老板"));
    }
}

QTEST_GUILESS_MAIN(WebBrowserTest)
#include "browser_test.moc"
