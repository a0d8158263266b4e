#include "accounts/guessthrottle.h"
#include "accounts/passwords.h"
#include "common/clock.h"
#include "link/message.h"
#include "link/requests.h"
#include "store/accounttables.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "support/linkfixture.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

QByteArray msgb(const QString &text)
{
    return wire::messageBox(text);
}

QByteArray comm(const QString &word)
{
    return wire::command(word);
}

const QString kClient1 = u"127.0.0.2"_s;
const QString kClient2 = u"127.0.0.3"_s;

} // namespace

class RequestsTest final : public QObject
{
    Q_OBJECT

private slots:
    void guessingIsThrottledPerAddress();
    void init();
    void cleanup();

    void goodsList();
    void announceSwitchesOnAndSendsListsAfterASecond();
    void announceBillingOrPausedMachine_data();
    void announceBillingOrPausedMachine();
    void announceUnknownMachine();
    void announceThenRequestAtOnce();
    void announcementSeenByTheDeskAtOnce();
    void announcementWrittenAtShutdown();
    void announcedNumberIsRounded_data();
    void announcedNumberIsRounded();
    void surplusFieldsIgnored_data();
    void surplusFieldsIgnored();
    void questionsPerMachineAreBounded();
    void requestFromAnUnknownAddress_data();
    void requestFromAnUnknownAddress();
    void openMachineApproved();
    void openMachineRefusedOrTimedOut_data();
    void openMachineRefusedOrTimedOut();
    void openMachineAlreadyBilling();
    void openMachineOnlyForStart();
    void lockedDeskRefuses_data();
    void lockedDeskRefuses();
    void goodsOrder();
    void goodsOrderForMachineTakenOver();
    void sessionFigures();
    void cardQuery_data();
    void cardQuery();
    void operatorLeave_data();
    void operatorLeave();
    void cardSettlement_data();
    void cardSettlement();
    void cardSettlementApproved();
    void twoRequestsEachGetTheirAnswer();
    void programList();

private:
    std::unique_ptr<LinkFixture> f;
};

void RequestsTest::init()
{
    Clock::fix(QDateTime(QDate(2002, 3, 14), QTime(12, 5, 0)));
    f = std::make_unique<LinkFixture>();
}

void RequestsTest::cleanup()
{
    f.reset();
    Clock::release();
}

void RequestsTest::goodsList()
{
    auto c = f->connect();
    QCOMPARE(f->probe(*c), bin("_gets\0good\0\0OK$"));

    f->store.addArticle(u"00000001"_s, u"可乐"_s, 3.5);
    f->store.addArticle(u"00000002"_s, u"面"_s, 2);
    QCOMPARE(f->probe(*c), bin("_gets\0good\0"
                               "00000001\0") +
                               cp(u"可乐"_s) +
                               bin("\0"
                                   "3.5\0"
                                   "00000002\0") +
                               cp(u"面"_s) +
                               bin("\0"
                                   "2\0\0OK$"));
    // A change through the desk's own connection shows as well.
    Article a = *ArticleTable(f->desk.db()).byNumber(u"00000002"_s);
    a.price = 2.25;
    ArticleTable(f->desk.db()).save(a);
    QVERIFY(f->probe(*c).endsWith(bin("\0"
                                      "2.25\0\0OK$")));
}

void RequestsTest::announceSwitchesOnAndSendsListsAfterASecond()
{
    f->store.addMachine(1);
    f->store.addMachine(7);
    f->reload();
    auto c = f->connect(kClient1);
    c->sendBare(u"_sele"_s, {u"7"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->desk.machineList().at(2)->icon == IconStandby; }));
    const Machine m = *MachineTable(f->store.db()).byNumber(7);
    QCOMPARE(m.status, MachineStatus::Standby);
    QCOMPARE(m.ip, kClient1);
    QCOMPARE(f->server->machineNumber(0), 7);
    QVERIFY(c->messages.isEmpty()); // the lists only come after the wait
    QVERIFY(c->waitFor(2));
    QCOMPARE(c->messages.at(0), bin("_hick\0\0OK$"));
    QCOMPARE(c->messages.at(1), bin("_http\0\0OK$"));
    QCOMPARE(MachineTable(f->store.db()).byNumber(1)->status, MachineStatus::Off);
}

void RequestsTest::announceBillingOrPausedMachine_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("word");
    QTest::newRow("billing") << u"Y"_s << u"start"_s;
    QTest::newRow("paused") << u"P"_s << u"pause"_s;
}

void RequestsTest::announceBillingOrPausedMachine()
{
    QFETCH(QString, status);
    QFETCH(QString, word);
    f->store.addMachine(1, 3, machineStatusFromLetter(status));
    f->reload();
    auto c = f->connect(kClient1);
    c->send(u"_sele"_s, {u"1.4"_s}); // rounds to 1
    QVERIFY(c->waitFor(1, 900));     // at once, well before the lists
    QCOMPARE(c->take(), comm(word));
    QVERIFY(c->waitFor(2));
    QVERIFY(c->messages.at(0).startsWith("_hick"));
    QVERIFY(c->messages.at(1).startsWith("_http"));
    const Machine m = *MachineTable(f->store.db()).byNumber(1);
    QCOMPARE(m.status, machineStatusFromLetter(status));
    QCOMPARE(m.ip, kClient1);
}

void RequestsTest::announceUnknownMachine()
{
    f->store.addMachine(1);
    f->reload();
    const QStringList before = tableDump(f->store.db());
    auto c = f->connect(kClient1);
    c->send(u"_sele"_s, {u"99"_s});
    QVERIFY(c->waitFor(2));
    QVERIFY(c->messages.at(0).startsWith("_hick"));
    QVERIFY(c->messages.at(1).startsWith("_http"));
    QCOMPARE(f->server->machineNumber(0), 99);
    QCOMPARE(tableDump(f->store.db()), before);
}

void RequestsTest::announceThenRequestAtOnce()
{
    f->store.addMachine(1);
    f->reload();
    auto c = f->connect(kClient1);
    // Announcement and request in one write: the request finds the machine just announced.
    c->sendBytes(bin("_sele\0"
                     "1\0OK$_comm\0start\0OK$"));
    QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
    QCOMPARE(f->presenter.asked.last().text, u"1号机要求开机，是否同意？"_s);
    const Machine m = *MachineTable(f->store.db()).byNumber(1);
    QCOMPARE(m.status, MachineStatus::Standby);
    QCOMPARE(m.ip, kClient1);
}

void RequestsTest::announcementSeenByTheDeskAtOnce()
{
    f->store.addMachine(1);
    f->store.addMachine(2);
    f->reload();
    // A pass has just run, so the next one (which writes what is pending) is a while off.
    auto a = f->connect(kClient1);
    a->send(u"_sele"_s, {u"1"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->desk.machineList().at(1)->icon == IconStandby; }));
    auto b = f->connect(kClient2);
    b->send(u"_sele"_s, {u"2"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->server->machineNumber(1) == 2; }));
    // Whatever the desk does next (here on a timer, as the supervision tick or the operator's
    // commands would) finds the machine as announced.
    std::optional<Machine> seen;
    QTimer::singleShot(0, &f->desk, [&] {
        f->desk.select(2);
        seen = f->desk.selectedMachine();
    });
    QVERIFY(QTest::qWaitFor([&] { return seen.has_value(); }));
    QCOMPARE(seen->status, MachineStatus::Standby);
    QCOMPARE(seen->ip, kClient2);
}

void RequestsTest::announcementWrittenAtShutdown()
{
    f->store.addMachine(1);
    f->store.addMachine(2);
    f->reload();
    auto a = f->announced(1, kClient1);
    auto b = f->connect(kClient2);
    b->send(u"_sele"_s, {u"2"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->server->machineNumber(1) == 2; }));
    f->server.reset(); // the desk closes before the next pass
    const Machine m = *MachineTable(f->store.db()).byNumber(2);
    QCOMPARE(m.status, MachineStatus::Standby);
    QCOMPARE(m.ip, kClient2);
}

void RequestsTest::announcedNumberIsRounded_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("number");
    QTest::newRow("whole") << u"7"_s << 7;
    QTest::newRow("half rounds to even, down") << u"2.5"_s << 2;
    QTest::newRow("half rounds to even, up") << u"3.5"_s << 4;
    QTest::newRow("above half") << u"2.51"_s << 3;
    QTest::newRow("leading number") << u"7号机"_s << 7;
    QTest::newRow("no number") << u"abc"_s << 0;
    QTest::newRow("empty") << QString() << 0;
}

void RequestsTest::announcedNumberIsRounded()
{
    QFETCH(QString, field);
    QFETCH(int, number);
    auto c = f->connect();
    c->send(u"_sele"_s, {u"99"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->server->machineNumber(0) == 99; }));
    c->send(u"_sele"_s, {field, u"5"_s}); // a surplus field changes nothing
    QVERIFY(QTest::qWaitFor([&] { return f->server->machineNumber(0) != 99; }));
    QCOMPARE(f->server->machineNumber(0), number);
}

void RequestsTest::surplusFieldsIgnored_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("card query beyond field 4")
        << u"_gets"_s << QStringList{u"card"_s, u"C1"_s, u"x"_s, u"x"_s, u"pw"_s}
        << msgb(u"您所输入的密码错误！"_s);
    QTest::newRow("leave beyond field 3")
        << u"_vali"_s << QStringList{u"老李"_s, u"c"_s, u"close"_s, u"shutdown"_s} << comm(u"close"_s);
    QTest::newRow("card query, fields missing")
        << u"_gets"_s << QStringList{u"card"_s, u"C1"_s} << msgb(u"您所输入的密码错误！"_s);
    QTest::newRow("leave, fields missing")
        << u"_vali"_s << QStringList{u"老李"_s} << QByteArray(); // no command word: nothing
}

void RequestsTest::surplusFieldsIgnored()
{
    QFETCH(QString, tag);
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, reply);
    CardTable(f->store.db()).add({0, u"C1"_s, 100, 10, u"pw"_s, {}, 0, 0, 50});
    Operator op;
    op.name = u"老李"_s;
    op.password = u"c"_s;
    op.right = u"C"_s;
    OperatorTable(f->store.db()).add(op);
    auto c = f->connect();
    c->send(tag, fields);
    if (!reply.isEmpty()) {
        QVERIFY(c->waitFor(1));
        QCOMPARE(c->take(), reply);
    }
    QVERIFY(f->probe(*c).startsWith("_gets\0good"));
}

void RequestsTest::questionsPerMachineAreBounded()
{
    f->store.addMachine(1, 3, MachineStatus::Standby, kClient1);
    CardTable(f->store.db()).add({0, u"C1"_s, 100, 10, u"pw"_s, {}, 0, 0, 50});
    f->reload();
    auto c = f->connect(kClient1);
    QByteArray flood;
    for (int i = 0; i < 100; ++i)
        flood += bin("_comm\0start\0OK$_vali\0C1\0pw\0cardend\0OK$");
    c->sendBytes(flood);
    QVERIFY(f->probe(*c).startsWith("_gets")); // every request of the flood has been handled
    QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
    QCOMPARE(f->desk.questions().pending(), RequestHandler::kMaxWaitingQuestions);
    // Once one is answered the machine may ask again.
    f->presenter.answer(Answer::No);
    c->send(u"_comm"_s, {u"start"_s});
    QVERIFY(f->probe(*c).startsWith("_gets"));
    QCOMPARE(f->desk.questions().pending(), RequestHandler::kMaxWaitingQuestions);
}

void RequestsTest::requestFromAnUnknownAddress_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("open machine") << u"_comm"_s << QStringList{u"start"_s};
    QTest::newRow("goods") << u"_good"_s << QStringList{u"00000001"_s, u"可乐"_s, u"1"_s};
}

void RequestsTest::requestFromAnUnknownAddress()
{
    QFETCH(QString, tag);
    QFETCH(QStringList, fields);
    f->store.addMachine(1, 3, MachineStatus::Billing, kClient1);
    f->store.addArticle(u"00000001"_s, u"可乐"_s, 3);
    f->reload();
    const QStringList before = tableDump(f->store.db());
    auto c = f->connect(kClient2); // announced nothing, and no machine has its address
    c->send(tag, fields);
    QVERIFY(f->probe(*c).startsWith("_gets"));
    QVERIFY(f->presenter.asked.isEmpty());
    QCOMPARE(tableDump(f->store.db()), before);
}

void RequestsTest::openMachineApproved()
{
    f->store.addMachine(1, 3, MachineStatus::Standby, kClient1);
    Machine m = f->store.addMachine(2, 3, MachineStatus::Standby, kClient2);
    m.customer = u"张三"_s;
    MachineTable(f->store.db()).save(m);
    f->reload();
    auto c = f->connect(kClient2);
    c->send(u"_comm"_s, {u"start"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
    const Question q = f->presenter.asked.last();
    QCOMPARE(q.text, u"2号机要求开机，是否同意？"_s);
    QCOMPARE(q.buttons, Question::Buttons::YesNo);
    QCOMPARE(q.seconds, 15);
    QVERIFY(q.title.isEmpty());
    QVERIFY(c->messages.isEmpty());

    Clock::advanceSeconds(20);
    f->presenter.answer(Answer::Yes);
    QVERIFY(c->waitFor(1));
    QCOMPARE(c->take(), comm(u"start"_s));
    m = *MachineTable(f->store.db()).byNumber(2);
    QCOMPARE(m.status, MachineStatus::Billing);
    QCOMPARE(m.start, QDateTime(QDate(2002, 3, 14), QTime(12, 5, 20)));
    QCOMPARE(m.mode, u"N"_s);
    QVERIFY(m.customer.isEmpty());
    QVERIFY(!MachineTable(f->store.db()).byNumber(1)->inSession());
    // The pass that follows shows the session in the list.
    QVERIFY(QTest::qWaitFor([&] { return f->desk.machineList().at(2)->icon == IconBilling; }));
}

void RequestsTest::openMachineRefusedOrTimedOut_data()
{
    QTest::addColumn<bool>("timeOut");
    QTest::newRow("refused") << false;
    QTest::newRow("no answer in time") << true;
}

void RequestsTest::openMachineRefusedOrTimedOut()
{
    QFETCH(bool, timeOut);
    f->store.addMachine(1, 3, MachineStatus::Standby, kClient1);
    f->reload();
    const QStringList before = tableDump(f->store.db());
    auto c = f->connect(kClient1);
    c->send(u"_comm"_s, {u"start"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
    QVERIFY(timeOut ? f->presenter.timeOut() : f->presenter.answer(Answer::No));
    QVERIFY(f->probe(*c).startsWith("_gets")); // nothing came before the probe's answer
    QCOMPARE(tableDump(f->store.db()), before);
}

void RequestsTest::openMachineAlreadyBilling()
{
    f->store.addMachine(1, 3, MachineStatus::Standby, kClient1);
    const QDateTime start(QDate(2002, 3, 14), QTime(10, 0));
    f->store.startSession(1, start);
    f->reload();
    auto c = f->connect(kClient1);
    c->send(u"_comm"_s, {u"start"_s});
    QVERIFY(c->waitFor(1));
    QCOMPARE(c->take(), comm(u"start"_s));
    QVERIFY(f->presenter.asked.isEmpty());
    QCOMPARE(MachineTable(f->store.db()).byNumber(1)->start, start);
}

void RequestsTest::openMachineOnlyForStart()
{
    f->store.addMachine(1, 3, MachineStatus::Standby, kClient1);
    f->reload();
    auto c = f->connect(kClient1);
    c->send(u"_comm"_s, {u"stop"_s});
    c->send(u"_comm"_s); // joined or not, neither asks
    QVERIFY(f->probe(*c).startsWith("_gets"));
    QVERIFY(f->presenter.asked.isEmpty());
}

void RequestsTest::lockedDeskRefuses_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("open machine") << u"_comm"_s << QStringList{u"start"_s};
    QTest::newRow("goods") << u"_good"_s << QStringList{u"00000001"_s, u"可乐"_s, u"1"_s};
    QTest::newRow("card settlement") << u"_vali"_s << QStringList{u"C1"_s, u"pw"_s, u"cardend"_s};
}

void RequestsTest::lockedDeskRefuses()
{
    QFETCH(QString, tag);
    QFETCH(QStringList, fields);
    f->store.addMachine(1, 3, MachineStatus::Standby, kClient1);
    f->store.addArticle(u"00000001"_s, u"可乐"_s, 3);
    CardTable(f->store.db()).add({0, u"C1"_s, 100, 10, u"pw"_s, {}, 0, 0, 50});
    f->reload();
    f->desk.setLocked(true);
    const QStringList before = tableDump(f->store.db());
    auto c = f->connect(kClient1);
    c->send(tag, fields);
    QVERIFY(c->waitFor(1));
    QCOMPARE(c->take(), msgb(u"主机已被锁定，请稍后再试！"_s));
    // Queries still work while locked.
    QVERIFY(f->probe(*c).startsWith(bin("_gets\0good\0"
                                        "00000001")));
    QVERIFY(f->presenter.asked.isEmpty());
    QCOMPARE(tableDump(f->store.db()), before);
}

void RequestsTest::goodsOrder()
{
    f->store.addMachine(1);
    f->store.addMachine(2, 3, MachineStatus::Billing, kClient1);
    f->store.addArticle(u"00000001"_s, u"康师傅面"_s, 3, 20);
    f->store.addArticle(u"00000002"_s, u"可乐"_s, 2.5, 10);
    const QDateTime earlier(QDate(2002, 3, 14), QTime(11, 0));
    OrderTable(f->store.db()).add({0, 2, u"00000001"_s, 1, earlier});
    f->reload();
    auto c = f->connect(kClient1);
    c->sendBare(u"_good"_s, {u"00000001"_s, u"康师傅面"_s, u"3"_s, u"00000002"_s, u"可乐"_s, u"2"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
    const Question q = f->presenter.asked.last();
    QCOMPARE(q.text, u"2号机要求选择下列商品，是否同意？\r\n"_s + u"康师傅面"_s + QString(42, u' ') +
                         u"数量：3\r\n"_s + u"可乐"_s + QString(46, u' ') + u"数量：2\r\n"_s);
    QCOMPARE(q.title, u"有人要商品"_s);
    QCOMPARE(q.seconds, 90);
    QCOMPARE(q.buttons, Question::Buttons::YesNo);

    // Stock sold meanwhile at the counter is not overwritten by the order.
    Article a = *ArticleTable(f->store.db()).byNumber(u"00000001"_s);
    a.stock = 15;
    ArticleTable(f->store.db()).save(a);

    f->presenter.answer(Answer::Yes);
    QVERIFY(c->waitFor(1));
    QCOMPARE(c->take(), msgb(u"请您稍候，马上把你要的商品送到！"_s));
    QCOMPARE(ArticleTable(f->store.db()).byNumber(u"00000001"_s)->stock, 12.0);
    QCOMPARE(ArticleTable(f->store.db()).byNumber(u"00000002"_s)->stock, 8.0);
    const QList<OrderLine> lines = OrderTable(f->store.db()).linesOf(2);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).article, u"00000001"_s);
    QCOMPARE(lines.at(0).quantity, 4.0);
    QCOMPARE(lines.at(0).time, Clock::now());
    QCOMPARE(lines.at(1).article, u"00000002"_s);
    QCOMPARE(lines.at(1).quantity, 2.0);
    QVERIFY(OrderTable(f->store.db()).linesOf(1).isEmpty());
}

void RequestsTest::goodsOrderForMachineTakenOver()
{
    f->store.addMachine(1, 3, MachineStatus::Standby, kClient1);
    f->store.addArticle(u"00000001"_s, u"可乐"_s, 3);
    f->reload();
    auto c = f->connect(kClient1);
    c->send(u"_good"_s, {u"00000001"_s, u"可乐"_s, u"1"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
    // Another PC announces itself as machine 1 while the operator decides.
    auto other = f->announced(1, kClient2);
    const QStringList before = tableDump(f->store.db());
    f->presenter.answer(Answer::Yes);
    QVERIFY(f->probe(*c).startsWith("_gets"));
    QCOMPARE(tableDump(f->store.db()), before);
}

void RequestsTest::sessionFigures()
{
    f->store.setTariff(0, 1);
    f->store.addMachine(1, 3, MachineStatus::Standby);
    f->store.addMachine(2, 3, MachineStatus::Standby);
    Machine m = f->store.startSession(2, QDateTime(QDate(2002, 3, 14), QTime(10, 0)));
    m.pauseMinutes = 65;
    MachineTable(f->store.db()).save(m);
    f->reload();

    auto stranger = f->connect(u"127.0.0.9"_s);
    stranger->send(u"_gets"_s, {u"time"_s});
    QVERIFY(f->probe(*stranger).startsWith("_gets")); // never announced: nothing

    auto c = f->announced(2, kClient1);
    c->send(u"_gets"_s, {u"time"_s});
    QVERIFY(c->waitFor(1));
    QCOMPARE(c->take(), msgb(u"您的上机情况是：\r\n开始时间：3月14日 10:00\r\n到点时间：\r\n已用时间：2:5\r\n"
                             "暂停时间：1:5\r\n金    额：6.00元\r\n其他费用：\r\n总 金 额：6.00元"_s));
}

void RequestsTest::cardQuery_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("reply");
    QTest::newRow("right") << u"C1"_s << u"pw"_s
                           << u"你要查的卡号是：C1\r\n总金额为：100.0元    总机时为：12.50小时\r\n"
                              "已用机时：3.25小时\r\n剩余金额：62.5元"_s;
    QTest::newRow("wrong password") << u"C1"_s << u"PW"_s << u"您所输入的密码错误！"_s;
    QTest::newRow("no such card") << u"C9"_s << u"pw"_s << u"您所输入的卡号错误！"_s;
    QTest::newRow("empty number") << QString() << QString() << u"您所输入的卡号错误！"_s;
}

void RequestsTest::cardQuery()
{
    QFETCH(QString, number);
    QFETCH(QString, password);
    QFETCH(QString, reply);
    CardTable(f->store.db()).add({0, u"C1"_s, 100, 12.5, u"pw"_s, {}, 3.25, 2, 62.5});
    auto c = f->connect();
    c->send(u"_gets"_s, {u"card"_s, number, password});
    QVERIFY(c->waitFor(1));
    QCOMPARE(c->take(), msgb(reply));
}

void RequestsTest::operatorLeave_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray rights = msgb(u"验证用户名权限不够！"_s);
    const QByteArray wrong = msgb(u"验证用户名或密码错误，不能完成指令！"_s);
    QTest::newRow("B may not close") << u"小王"_s << u"b"_s << u"close"_s << rights;
    QTest::newRow("B may not set up") << u"小王"_s << u"b"_s << u"setup"_s << rights;
    QTest::newRow("B may shut down") << u"小王"_s << u"b"_s << u"shutdown"_s << comm(u"shutdown"_s);
    QTest::newRow("C may close") << u"老李"_s << u"c"_s << u"close"_s << comm(u"close"_s);
    QTest::newRow("C may set up") << u"老李"_s << u"c"_s << u"setup"_s << comm(u"setup"_s);
    QTest::newRow("wrong password") << u"老李"_s << u"C"_s << u"close"_s << wrong;
    QTest::newRow("no such operator") << u"nobody"_s << u"c"_s << u"shutdown"_s << wrong;
}

void RequestsTest::operatorLeave()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, word);
    QFETCH(QByteArray, expected);
    f->store.addOperator(u"小王"_s, u"b"_s, u"B"_s);
    f->store.addOperator(u"老李"_s, u"c"_s, u"C"_s);
    f->desk.setLocked(true); // leave is asked at the PC, not at the locked desk
    auto client = f->connect();
    client->send(u"_vali"_s, {name, password, word});
    QVERIFY(client->waitFor(1));
    QCOMPARE(client->take(), expected);
}

void RequestsTest::guessingIsThrottledPerAddress()
{
    Operator c;
    c.name = u"老李"_s;
    c.password = *passwords::hash(u"c"_s);
    c.right = u"C"_s;
    OperatorTable(f->store.db()).add(c);
    const QByteArray wrong = msgb(u"验证用户名或密码错误，不能完成指令！"_s);
    auto guesser = f->connect(kClient1);
    auto ask = [](TestClient &client, const QString &password) {
        client.send(u"_vali"_s, {u"老李"_s, password, u"close"_s});
        return client.waitFor(1) ? client.take() : QByteArray();
    };
    // The stored hash is checked, not compared as text.
    QCOMPARE(ask(*guesser, u"c"_s), comm(u"close"_s));
    QCOMPARE(ask(*guesser, c.password), wrong);
    for (int i = 1; i < GuessThrottle::kFailures; ++i)
        QCOMPARE(ask(*guesser, u"x"_s), wrong);
    // Five failures within a minute: even the right password is refused for a while ...
    QCOMPARE(ask(*guesser, u"c"_s), wrong);
    // ... from that address only.
    auto other = f->connect(kClient2);
    QCOMPARE(ask(*other, u"c"_s), comm(u"close"_s));
    Clock::advanceSeconds(GuessThrottle::kPauseSeconds + 1);
    QCOMPARE(ask(*guesser, u"c"_s), comm(u"close"_s));
}

void RequestsTest::cardSettlement_data()
{
    QTest::addColumn<QString>("bind");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<QByteArray>("reply"); // empty: nothing before the probe
    QTest::newRow("wrong number") << kClient1 << u"C9"_s << u"pw"_s << false
                                  << msgb(u"您所输入的卡号错误，不能结帐！"_s);
    QTest::newRow("wrong password") << kClient1 << u"C1"_s << u"x"_s << false
                                    << msgb(u"您所输入的密码错误，不能结帐！"_s);
    QTest::newRow("no machine at this address")
        << u"127.0.0.9"_s << u"C1"_s << u"pw"_s << false << QByteArray();
    QTest::newRow("refused") << kClient1 << u"C1"_s << u"pw"_s << true << msgb(u"主机拒绝用此卡结帐！"_s);
}

void RequestsTest::cardSettlement()
{
    QFETCH(QString, bind);
    QFETCH(QString, number);
    QFETCH(QString, password);
    QFETCH(bool, asks);
    QFETCH(QByteArray, reply);
    f->store.addMachine(1, 3, MachineStatus::Billing, kClient1);
    CardTable(f->store.db()).add({0, u"C1"_s, 100, 10, u"pw"_s, {}, 0, 0, 50});
    f->reload();
    auto c = f->connect(bind);
    c->send(u"_vali"_s, {number, password, u"cardend"_s});
    if (asks) {
        QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
        QCOMPARE(f->presenter.asked.last().text, u"1号机要求用卡号为：C1的储金卡结帐，是否同意！"_s);
        QCOMPARE(f->presenter.asked.last().seconds, 0);
        f->presenter.answer(Answer::No);
    }
    if (!reply.isEmpty()) {
        QVERIFY(c->waitFor(1));
        QCOMPARE(c->take(), reply);
    }
    QVERIFY(f->probe(*c).startsWith("_gets"));
    QCOMPARE(f->presenter.asked.size(), asks ? 1 : 0);
}

void RequestsTest::cardSettlementApproved()
{
    f->store.addMachine(1, 3, MachineStatus::Billing, u"127.0.0.7"_s);
    f->store.addMachine(2, 3, MachineStatus::Billing, kClient1);
    CardTable(f->store.db()).add({0, u"C1"_s, 100, 10, u"pw"_s, {}, 0, 0, 50});
    f->reload();
    f->desk.select(1);
    QSignalSpy checkout(&f->desk, &FrontDesk::checkoutWithCardRequested);
    auto c = f->connect(kClient1);
    c->send(u"_vali"_s, {u"C1"_s, u"pw"_s, u"cardend"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
    f->presenter.answer(Answer::Yes);
    QCOMPARE(f->desk.selected(), 2);
    QCOMPARE(checkout.size(), 1);
    QCOMPARE(checkout.at(0).at(0).toString(), u"C1"_s);
    QCOMPARE(checkout.at(0).at(1).toString(), u"pw"_s);
    QVERIFY(f->probe(*c).startsWith("_gets")); // nothing is sent to the client
}

void RequestsTest::twoRequestsEachGetTheirAnswer()
{
    f->store.addMachine(1, 3, MachineStatus::Standby, kClient1);
    f->store.addMachine(2, 3, MachineStatus::Standby, kClient2);
    f->store.addArticle(u"00000001"_s, u"可乐"_s, 3, 10);
    f->reload();
    auto c1 = f->connect(kClient1);
    auto c2 = f->connect(kClient2);
    c1->send(u"_comm"_s, {u"start"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
    c2->send(u"_good"_s, {u"00000001"_s, u"可乐"_s, u"2"_s});
    QTest::qWait(50);
    QCOMPARE(f->presenter.asked.size(), 1); // the second waits its turn

    f->presenter.answer(Answer::No);
    QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
    QCOMPARE(f->presenter.asked.size(), 2);
    QVERIFY(f->presenter.asked.at(1).text.startsWith(u"2号机要求选择下列商品"_s));
    f->presenter.answer(Answer::Yes);

    QVERIFY(c2->waitFor(1));
    QCOMPARE(c2->take(), msgb(u"请您稍候，马上把你要的商品送到！"_s));
    QVERIFY(f->probe(*c1).startsWith("_gets"));
    QCOMPARE(MachineTable(f->store.db()).byNumber(1)->status, MachineStatus::Standby);
    QCOMPARE(OrderTable(f->store.db()).linesOf(2).size(), 1);
    QVERIFY(OrderTable(f->store.db()).linesOf(1).isEmpty());
}

void RequestsTest::programList()
{
    QSignalSpy programs(&f->desk, &FrontDesk::programListArrived);
    auto c1 = f->connect();
    auto c2 = f->connect();
    c2->send(u"_prog"_s, {u"记事本"_s, u"12"_s, u"QQ"_s, u"7"_s});
    QVERIFY(programs.wait());
    QCOMPARE(programs.at(0).at(0).toInt(), 1);
    QCOMPARE(programs.at(0).at(1).toStringList(), (QStringList{u"记事本"_s, u"12"_s, u"QQ"_s, u"7"_s}));
}

QTEST_MAIN(RequestsTest)
#include "requests_test.moc"
