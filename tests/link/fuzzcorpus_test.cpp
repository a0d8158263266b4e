// Every input of the fuzz corpus (real requests, and whatever the fuzzer once found) sent by
// a PC to a desk that approves everything: the whole dispatcher and its handlers run on it,
// and the desk keeps answering.
#include "common/clock.h"
#include "store/accounttables.h"
#include "store/database.h"
#include "support/linkfixture.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

class FuzzCorpusTest final : public QObject
{
    Q_OBJECT

private slots:
    void deskSurvivesEveryInput_data();
    void deskSurvivesEveryInput();
};

void FuzzCorpusTest::deskSurvivesEveryInput_data()
{
    QTest::addColumn<QByteArray>("input");
    const QString corpus = QFINDTESTDATA("../../fuzz/corpus");
    QVERIFY(!corpus.isEmpty());
    const QFileInfoList files = QDir(corpus).entryInfoList(QDir::Files, QDir::Name);
    QVERIFY(files.size() >= 10);
    for (const QFileInfo &file : files) {
        QFile f(file.filePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QTest::newRow(qPrintable(file.fileName())) << f.readAll();
    }
}

void FuzzCorpusTest::deskSurvivesEveryInput()
{
    QFETCH(QByteArray, input);
    Clock::fix(QDateTime(QDate(2002, 3, 14), QTime(12, 5, 0)));
    LinkFixture f;
    f.presenter.autoAnswer = Answer::Yes;
    f.store.addMachine(3, 3, MachineStatus::Standby, u"127.0.0.2"_s);
    f.store.addMachine(7, 3, MachineStatus::Billing, u"127.0.0.2"_s);
    f.store.addArticle(u"00000001"_s, u"可乐"_s, 3);
    CardTable(f.store.db()).add({0, u"C0001"_s, 100, 10, u"123456"_s, {}, 0, 0, 50});
    f.reload();
    auto c = f.connect(u"127.0.0.2"_s);
    // As the fuzz target does: the first byte says how the rest is cut into arrivals.
    const qsizetype cut = input.isEmpty() || input.at(0) == 0 ? input.size() : quint8(input.at(0));
    const QByteArray bytes = input.mid(1);
    for (qsizetype at = 0; at < bytes.size(); at += cut) {
        c->sendBytes(bytes.mid(at, cut));
        QTest::qWait(5);
    }
    QTest::qWait(20);
    // Whatever came before, a request on a new connection is answered.
    auto other = f.connect(u"127.0.0.3"_s);
    QVERIFY(f.probe(*other).startsWith("_gets\0good\0"_ba));
    Statement integrity = f.desk.db().prepare(u"PRAGMA integrity_check"_s);
    QVERIFY(integrity.next());
    QCOMPARE(integrity.text(0), u"ok"_s);
    Clock::release();
}

QTEST_MAIN(FuzzCorpusTest)
#include "fuzzcorpus_test.moc"
