#include "accounts/passwords.h"
#include "audit/trail.h"
#include "common/clock.h"
#include "store/accounttables.h"
#include "support/linkfixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kClient = u"127.0.0.2"_s;
}

// The operator's answers to the PCs' requests, and what a PC was granted with an operator's
// password, go into the trail under the operator at the desk.
class LinkTrailTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::fix(QDateTime(QDate(2002, 3, 14), QTime(12, 5, 0))); }
    void cleanup() { Clock::release(); }

    void answersAreRecorded_data()
    {
        QTest::addColumn<MachineStatus>("status");
        QTest::addColumn<QStringList>("request");
        QTest::addColumn<bool>("approve"); // the operator's answer, where a question is asked
        QTest::addColumn<QString>("entry");
        const QStringList start{u"_comm"_s, u"start"_s};
        const QStringList goods{u"_good"_s, u"00000001"_s, u"可乐"_s, u"2"_s};
        const QStringList card{u"_vali"_s, u"C1"_s, u"pw"_s, u"cardend"_s};
        QTest::newRow("start approved") << MachineStatus::Standby << start << true << u"同意开机@2: 127.0.0.2"_s;
        QTest::newRow("start refused") << MachineStatus::Standby << start << false << u"拒绝开机@2: 127.0.0.2"_s;
        QTest::newRow("goods approved") << MachineStatus::Billing << goods << true << u"同意选购商品@2: 可乐×2"_s;
        QTest::newRow("goods refused") << MachineStatus::Billing << goods << false << u"拒绝选购商品@2: 可乐×2"_s;
        QTest::newRow("card approved") << MachineStatus::Billing << card << true << u"同意储金卡结帐@2: 储金卡：C1"_s;
        QTest::newRow("card refused") << MachineStatus::Billing << card << false << u"拒绝储金卡结帐@2: 储金卡：C1"_s;
        QTest::newRow("close granted") << MachineStatus::Billing << QStringList{u"_vali"_s, u"carl"_s, u"c1"_s, u"close"_s}
                                       << true << u"客户端授权@2: close 由carl"_s;
    }
    void answersAreRecorded()
    {
        QFETCH(MachineStatus, status);
        QFETCH(QStringList, request);
        QFETCH(bool, approve);
        QFETCH(QString, entry);
        LinkFixture f;
        f.store.addMachine(1);
        f.store.addMachine(2, 3, status, kClient);
        f.store.addArticle(u"00000001"_s, u"可乐"_s, 3, 10);
        CardTable(f.store.db()).add({0, u"C1"_s, 100, 12.5, *passwords::hash(u"pw"_s), {}, 3.25, 2, 50});
        Operator carl;
        carl.name = u"carl"_s;
        carl.password = *passwords::hash(u"c1"_s);
        carl.right = u"C"_s;
        OperatorTable(f.store.db()).add(carl);
        f.reload();
        f.desk.setOperator(u"小王"_s, u"B"_s);

        auto c = f.connect(kClient);
        c->send(request.at(0), request.mid(1));
        if (request.last() != u"close") {
            QVERIFY(QTest::qWaitFor([&] { return f.presenter.isAsking(); }));
            f.presenter.answer(approve ? Answer::Yes : Answer::No);
        }
        QList<audit::Entry> entries;
        QVERIFY(QTest::qWaitFor([&] {
            entries = audit::entries(f.desk.db(), {}, {}, {}, 0, {});
            return !entries.isEmpty();
        }));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(u"%1@%2: %3"_s.arg(entries.at(0).kind).arg(entries.at(0).machine).arg(entries.at(0).details),
                 entry);
        QCOMPARE(entries.at(0).operatorName, u"小王"_s);
    }
};

QTEST_MAIN(LinkTrailTest)
#include "trail_test.moc"
