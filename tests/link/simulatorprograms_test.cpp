// corvana-client answers the program list requests, so the desk's program list can be tried
// without a real café PC.
#include "link/clientcontrol.h"
#include "store/machinetable.h"
#include "support/linkfixture.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class SimulatorProgramsTest final : public QObject
{
    Q_OBJECT

private slots:
    void listsAndEndsPrograms();
};

void SimulatorProgramsTest::listsAndEndsPrograms()
{
    const QString path = QCoreApplication::applicationDirPath() + u"/corvana-client"_s;
    if (!QFile::exists(path))
        QSKIP("corvana-client is not built");
    LinkFixture f;
    f.store.addMachine(1);
    f.reload();
    QProcess pc;
    pc.start(path, {u"--port"_s, QString::number(f.server->port()), u"--bind"_s, u"127.0.0.2"_s,
                    u"--machine"_s, u"1"_s, u"sleep"_s, u"3"_s});
    QVERIFY(pc.waitForStarted());
    pc.closeWriteChannel();
    const auto announced = [&] {
        f.server->flushPending();
        const std::optional<Machine> m = MachineTable(f.store.db()).byNumber(1);
        return m && m->ip == u"127.0.0.2"_s && f.server->slotOf(m->ip) >= 0;
    };
    QVERIFY(QTest::qWaitFor(announced, 10000));

    ClientControl &control = f.server->control();
    control.setProgramSlot(control.slotOf(*MachineTable(f.store.db()).byNumber(1)));
    QSignalSpy changed(&control, &ClientControl::programsChanged);
    QVERIFY(control.requestPrograms());
    QVERIFY(changed.wait());
    const QList<control::Program> before = control.programs();
    QVERIFY(before.size() >= 2);
    QVERIFY(!before[1].title.isEmpty() && before[1].number != 0);

    QVERIFY(control.endProgram(1));
    QVERIFY(changed.wait());
    QCOMPARE(control.programs().size(), before.size() - 1);
    for (const control::Program &p : control.programs())
        QVERIFY(p.number != before[1].number);

    QVERIFY(QTest::qWaitFor([&] { return pc.state() == QProcess::NotRunning; }, 20000));
    const QString out = QString::fromUtf8(pc.readAllStandardOutput());
    QVERIFY2(out.contains(u"_prog|close|%1|OK$"_s.arg(before[1].number)), qPrintable(out));
}

QTEST_GUILESS_MAIN(SimulatorProgramsTest)
#include "simulatorprograms_test.moc"
