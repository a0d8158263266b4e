// corvana-client against a real link server: what scripts and the benchmarks rely on.
#include "store/machinetable.h"
#include "support/linkfixture.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

class ClientTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { f.reset(); }

    void commandsFromArguments();
    void commandsFromStandardInput();
    void manyPcs();

private:
    // Runs the client to its end; its standard output as UTF-8 lines.
    QStringList run(const QStringList &arguments, const QByteArray &input = {});

    std::unique_ptr<LinkFixture> f;
};

void ClientTest::init()
{
    const QString path = QCoreApplication::applicationDirPath() + u"/corvana-client"_s;
    if (!QFile::exists(path))
        QSKIP("corvana-client is not built");
    f = std::make_unique<LinkFixture>();
}

QStringList ClientTest::run(const QStringList &arguments, const QByteArray &input)
{
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + u"/corvana-client"_s,
            QStringList{u"--port"_s, QString::number(f->server->port())} + arguments);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    // The server lives in this thread: wait by running its event loop.
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000)) {
        p.kill();
        p.waitForFinished();
        return {u"<timed out>"_s};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

void ClientTest::commandsFromArguments()
{
    f->store.addMachine(1);
    f->store.addArticle(u"00000001"_s, u"可乐"_s, 3);
    f->reload();
    const QStringList out = run({u"--bind"_s, u"127.0.0.2"_s, u"--machine"_s, u"1"_s, u"gets"_s, u"good"_s,
                                 u";"_s, u"talk"_s, u"talk"_s, u"阿强"_s, u"你好 大家"_s});
    QCOMPARE(out, (QStringList{u"_gets|good|00000001|可乐|3||OK$"_s, u"_talk|talk|阿强|你好 大家|OK$"_s,
                               u"_hick||OK$"_s, u"_http||OK$"_s}));
    const Machine m = *MachineTable(f->store.db()).byNumber(1);
    QCOMPARE(m.ip, u"127.0.0.2"_s);
}

void ClientTest::commandsFromStandardInput()
{
    const QStringList out =
        run({u"--no-announce"_s, u"--linger"_s, u"0.3"_s}, "# a script\n"
                                                           "gets card C9 x\n"
                                                           "sleep 0.1\n"
                                                           "raw 5f 67 65 74 73 00 67 6f 6f 64 00 4f 4b 24\n"
                                                           "raw _gets\\0good\\0OK$\n"
                                                           "talk login A extra\n");
    QCOMPARE(out, (QStringList{u"_msgb|您所输入的卡号错误！|OK$"_s, u"_gets|good||OK$"_s,
                               u"_gets|good||OK$"_s, u"_talk|login|A|extra|OK$"_s}));
}

void ClientTest::manyPcs()
{
    for (int n = 1; n <= 3; ++n)
        f->store.addMachine(n);
    f->reload();
    const QStringList out = run(
        {u"--pcs"_s, u"3"_s, u"--quiet"_s, u"--expect-each"_s, u"_hick,_http"_s, u"--timeout"_s, u"10"_s});
    QCOMPARE(out.size(), 1);
    QVERIFY2(out.first().startsWith(u"pcs=3 connected=3 received=6 "_s), qPrintable(out.first()));
    f->server->flushPending();
    MachineTable machines(f->store.db());
    for (int n = 1; n <= 3; ++n)
        QCOMPARE(machines.byNumber(n)->ip, u"127.0.0.%1"_s.arg(n + 1));
}

QTEST_MAIN(ClientTest)
#include "client_test.moc"
