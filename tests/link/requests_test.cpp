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

// Card C1 (password "pw") with 50 yuan left. Its password is stored hashed, so that a check
// writes nothing.
void addCard(Database &db)
{
    CardTable(db).add({0, u"C1"_s, 100, 12.5, *passwords::hash(u"pw"_s), {}, 3.25, 2, 50});
}

void addOperator(Database &db, const QString &name, const QString &password, const QString &right)
{
    Operator op;
    op.name = name;
    op.password = *passwords::hash(password);
    op.right = right;
    OperatorTable(db).add(op);
}

const QStringList kOpen{u"_comm"_s, u"start"_s};
const QStringList kGoods{u"_good"_s, u"00000001"_s, u"可乐"_s, u"1"_s};
const QStringList kSettle{u"_vali"_s, u"C1"_s, u"pw"_s, u"cardend"_s};

using Requests = QList<QStringList>;

// What the operator does with the question a request raised.
enum class Then { Nothing, Refuse, TimeOut, ReaddressThenApprove };

} // namespace

Q_DECLARE_METATYPE(MachineStatus)
Q_DECLARE_METATYPE(Then)

class RequestsTest final : public QObject
{
    Q_OBJECT

private slots:
    void guessingIsThrottledPerNameAndAddress();
    void init();
    void cleanup();

    void goodsList();
    void announce_data();
    void announce();
    void announceThenRequestAtOnce();
    void announcementKeptUntilThePass_data();
    void announcementKeptUntilThePass();
    void announcedNumberIsRounded_data();
    void announcedNumberIsRounded();
    void questionsPerMachineAreBounded();
    void credentialsAnswered_data();
    void credentialsAnswered();
    void requestChangesNothing_data();
    void requestChangesNothing();
    void openMachineApproved();
    void goodsOrder();
    void sessionFigures();
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

void RequestsTest::announce_data()
{
    QTest::addColumn<MachineStatus>("status"); // of machine 7, the second row
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("word"); // sent at once, before the lists
    QTest::addColumn<MachineStatus>("after");
    QTest::addColumn<QString>("ip");
    QTest::newRow("off turns standby")
        << MachineStatus::Off << u"7"_s << QString() << MachineStatus::Standby << kClient1;
    QTest::newRow("billing hears start")
        << MachineStatus::Billing << u"7.4"_s << u"start"_s << MachineStatus::Billing << kClient1;
    QTest::newRow("paused hears pause")
        << MachineStatus::Paused << u"7"_s << u"pause"_s << MachineStatus::Paused << kClient1;
    QTest::newRow("unknown machine") << MachineStatus::Off << u"99"_s << QString() << MachineStatus::Off
                                     << QString();
}

void RequestsTest::announce()
{
    QFETCH(MachineStatus, status);
    QFETCH(QString, field);
    QFETCH(QString, word);
    QFETCH(MachineStatus, after);
    QFETCH(QString, ip);
    f->store.addMachine(1);
    f->store.addMachine(7, 3, status);
    f->reload();
    auto c = f->connect(kClient1);
    c->send(u"_sele"_s, {field});
    if (word.isEmpty()) {
        QVERIFY(QTest::qWaitFor([&] { return f->server->machineNumber(0) == field.toInt(); }));
        QTest::qWait(200); // the pass has run, the lists are still to come
        QVERIFY(c->messages.isEmpty());
    } else {
        QVERIFY(c->waitFor(1, 900)); // at once, well before the lists
        QCOMPARE(c->take(), comm(word));
    }
    QVERIFY(c->waitFor(2));
    QCOMPARE(c->messages.at(0), bin("_hick\0\0OK$"));
    QCOMPARE(c->messages.at(1), bin("_http\0\0OK$"));
    QCOMPARE(f->desk.machineList().at(2)->icon, iconForStatus(after));
    const Machine m = *MachineTable(f->store.db()).byNumber(7);
    QCOMPARE(m.status, after);
    QCOMPARE(m.ip, ip);
    QCOMPARE(MachineTable(f->store.db()).byNumber(1)->status, MachineStatus::Off);
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

void RequestsTest::announcementKeptUntilThePass_data()
{
    QTest::addColumn<bool>("shutdown");
    QTest::newRow("seen by the desk at once") << false;
    QTest::newRow("written at shutdown") << true;
}

void RequestsTest::announcementKeptUntilThePass()
{
    QFETCH(bool, shutdown);
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
    std::optional<Machine> seen;
    if (shutdown) {
        f->server.reset(); // the desk closes before the next pass
        seen = MachineTable(f->store.db()).byNumber(2);
    } else {
        // Whatever the desk does next (here on a timer, as the supervision tick or the
        // operator's commands would) finds the machine as announced.
        QTimer::singleShot(0, &f->desk, [&] {
            f->desk.select(2);
            seen = f->desk.selectedMachine();
        });
        QVERIFY(QTest::qWaitFor([&] { return seen.has_value(); }));
    }
    QVERIFY(seen);
    QCOMPARE(seen->status, MachineStatus::Standby);
    QCOMPARE(seen->ip, kClient2);
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

void RequestsTest::questionsPerMachineAreBounded()
{
    f->store.addMachine(1, 3, MachineStatus::Standby, kClient1);
    addCard(f->store.db());
    f->reload();
    auto c = f->connect(kClient1);
    QByteArray flood;
    // Within what a PC may send at once.
    for (int i = 0; i < 15; ++i)
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

void RequestsTest::credentialsAnswered_data()
{
    QTest::addColumn<QStringList>("request");
    QTest::addColumn<QByteArray>("reply"); // empty: none
    const QByteArray rights = msgb(u"验证用户名权限不够！"_s);
    const QByteArray wrong = msgb(u"验证用户名或密码错误，不能完成指令！"_s);
    const QByteArray badPassword = msgb(u"您所输入的密码错误！"_s);
    const QByteArray badNumber = msgb(u"您所输入的卡号错误！"_s);
    QTest::newRow("card query") << QStringList{u"_gets"_s, u"card"_s, u"C1"_s, u"pw"_s}
                                << msgb(u"你要查的卡号是：C1\r\n总金额为：100.0元    总机时为：12.50小时\r\n"
                                        "已用机时：3.25小时\r\n剩余金额：50.0元"_s);
    QTest::newRow("card query, wrong password")
        << QStringList{u"_gets"_s, u"card"_s, u"C1"_s, u"PW"_s} << badPassword;
    QTest::newRow("card query, no such card")
        << QStringList{u"_gets"_s, u"card"_s, u"C9"_s, u"pw"_s} << badNumber;
    QTest::newRow("card query, empty number")
        << QStringList{u"_gets"_s, u"card"_s, QString(), QString()} << badNumber;
    QTest::newRow("card query, field 4 is the password, not beyond")
        << QStringList{u"_gets"_s, u"card"_s, u"C1"_s, u"x"_s, u"pw"_s} << badPassword;
    QTest::newRow("card query, fields missing") << QStringList{u"_gets"_s, u"card"_s, u"C1"_s} << badPassword;
    QTest::newRow("B may not close") << QStringList{u"_vali"_s, u"小王"_s, u"b"_s, u"close"_s} << rights;
    QTest::newRow("B may not set up") << QStringList{u"_vali"_s, u"小王"_s, u"b"_s, u"setup"_s} << rights;
    QTest::newRow("B may shut down") << QStringList{u"_vali"_s, u"小王"_s, u"b"_s, u"shutdown"_s}
                                     << comm(u"shutdown"_s);
    QTest::newRow("C may close") << QStringList{u"_vali"_s, u"老李"_s, u"c"_s, u"close"_s}
                                 << comm(u"close"_s);
    QTest::newRow("C may set up") << QStringList{u"_vali"_s, u"老李"_s, u"c"_s, u"setup"_s}
                                  << comm(u"setup"_s);
    QTest::newRow("leave, wrong password") << QStringList{u"_vali"_s, u"老李"_s, u"C"_s, u"close"_s} << wrong;
    QTest::newRow("leave, no such operator")
        << QStringList{u"_vali"_s, u"nobody"_s, u"c"_s, u"shutdown"_s} << wrong;
    QTest::newRow("leave, beyond field 3 ignored")
        << QStringList{u"_vali"_s, u"老李"_s, u"c"_s, u"close"_s, u"shutdown"_s} << comm(u"close"_s);
    QTest::newRow("leave, no command word") << QStringList{u"_vali"_s, u"老李"_s} << QByteArray();
}

// Card queries and leave for a protected action are asked at the PC: they are answered even
// while the desk is locked, and change nothing.
void RequestsTest::credentialsAnswered()
{
    QFETCH(QStringList, request);
    QFETCH(QByteArray, reply);
    addCard(f->store.db());
    addOperator(f->store.db(), u"小王"_s, u"b"_s, u"B"_s);
    addOperator(f->store.db(), u"老李"_s, u"c"_s, u"C"_s);
    f->desk.setLocked(true);
    const QStringList before = tableDump(f->store.db());
    auto c = f->connect();
    c->send(request.first(), request.mid(1));
    if (!reply.isEmpty()) {
        QVERIFY(c->waitFor(1));
        QCOMPARE(c->take(), reply);
    }
    QVERIFY(f->probe(*c).startsWith(bin("_gets\0good")));
    QCOMPARE(tableDump(f->store.db()), before);
}

void RequestsTest::requestChangesNothing_data()
{
    QTest::addColumn<MachineStatus>("status"); // of machine 1, at kClient1
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("from");
    QTest::addColumn<Requests>("requests");
    QTest::addColumn<QString>("question"); // its start; empty: none is asked
    QTest::addColumn<Then>("then");
    QTest::addColumn<QByteArray>("reply"); // empty: nothing before the probe
    using S = MachineStatus;
    const QString stranger = u"127.0.0.9"_s;
    const QString open = u"1号机要求开机，是否同意？"_s;
    const QString goods = u"1号机要求选择下列商品，是否同意？\r\n可乐"_s;
    const QByteArray locked = msgb(u"主机已被锁定，请稍后再试！"_s);
    QTest::newRow("open machine, address of no machine")
        << S::Standby << false << kClient2 << Requests{kOpen} << QString() << Then::Nothing << QByteArray();
    QTest::newRow("goods, address of no machine")
        << S::Billing << false << kClient2 << Requests{kGoods} << QString() << Then::Nothing << QByteArray();
    QTest::newRow("open machine refused")
        << S::Standby << false << kClient1 << Requests{kOpen} << open << Then::Refuse << QByteArray();
    QTest::newRow("open machine, no answer in time")
        << S::Standby << false << kClient1 << Requests{kOpen} << open << Then::TimeOut << QByteArray();
    QTest::newRow("open machine already billing (a paused PC): asked, refused")
        << S::Billing << false << kClient1 << Requests{kOpen} << open << Then::Refuse << QByteArray();
    QTest::newRow("goods for a machine not billing: told, not asked")
        << S::Standby << false << kClient1 << Requests{kGoods} << QString() << Then::Nothing
        << msgb(u"本机还没有开始记费，不能选购商品！"_s);
    QTest::newRow("only start opens") << S::Standby << false << kClient1
                                      << Requests{QStringList{u"_comm"_s, u"stop"_s}, QStringList{u"_comm"_s}}
                                      << QString() << Then::Nothing << QByteArray();
    QTest::newRow("locked: open machine")
        << S::Standby << true << kClient1 << Requests{kOpen} << QString() << Then::Nothing << locked;
    QTest::newRow("locked: goods") << S::Standby << true << kClient1 << Requests{kGoods} << QString()
                                   << Then::Nothing << locked;
    QTest::newRow("locked: card settlement")
        << S::Billing << true << kClient1 << Requests{kSettle} << QString() << Then::Nothing << locked;
    QTest::newRow("card settlement, wrong number")
        << S::Billing << false << kClient1
        << Requests{QStringList{u"_vali"_s, u"C9"_s, u"pw"_s, u"cardend"_s}} << QString() << Then::Nothing
        << msgb(u"您所输入的卡号错误，不能结帐！"_s);
    QTest::newRow("card settlement, wrong password")
        << S::Billing << false << kClient1 << Requests{QStringList{u"_vali"_s, u"C1"_s, u"x"_s, u"cardend"_s}}
        << QString() << Then::Nothing << msgb(u"您所输入的密码错误，不能结帐！"_s);
    QTest::newRow("session figures, never announced")
        << S::Billing << false << stranger << Requests{{u"_gets"_s, u"time"_s}} << QString() << Then::Nothing
        << QByteArray();
    QTest::newRow("card settlement, address of no machine")
        << S::Billing << false << stranger << Requests{kSettle} << QString() << Then::Nothing << QByteArray();
    QTest::newRow("card settlement refused")
        << S::Billing << false << kClient1 << Requests{kSettle} << u"1号机要求用卡号为：C1的储金卡结帐"_s
        << Then::Refuse << msgb(u"主机拒绝用此卡结帐！"_s);
    QTest::newRow("goods approved after the machine was given another address")
        << S::Billing << false << kClient1 << Requests{kGoods} << goods << Then::ReaddressThenApprove
        << QByteArray();
}

void RequestsTest::requestChangesNothing()
{
    QFETCH(MachineStatus, status);
    QFETCH(bool, locked);
    QFETCH(QString, from);
    QFETCH(Requests, requests);
    QFETCH(QString, question);
    QFETCH(Then, then);
    QFETCH(QByteArray, reply);
    f->store.addMachine(1, 3, status, kClient1);
    f->store.addArticle(u"00000001"_s, u"可乐"_s, 3);
    addCard(f->store.db());
    f->reload();
    f->desk.setLocked(locked);
    QStringList before = tableDump(f->store.db());
    auto c = f->connect(from);
    for (const QStringList &request : requests)
        c->send(request.first(), request.mid(1));
    if (!question.isEmpty()) {
        QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
        QVERIFY(f->presenter.asked.last().text.startsWith(question));
        switch (then) {
        case Then::Refuse:
            QVERIFY(f->presenter.answer(Answer::No));
            break;
        case Then::TimeOut:
            QVERIFY(f->presenter.timeOut());
            break;
        case Then::ReaddressThenApprove: {
            Machine m = *MachineTable(f->store.db()).byNumber(1);
            m.ip = kClient2;
            MachineTable(f->store.db()).save(m);
            before = tableDump(f->store.db());
            QVERIFY(f->presenter.answer(Answer::Yes));
            break;
        }
        case Then::Nothing:
            QFAIL("a question needs an answer");
        }
    }
    if (!reply.isEmpty()) {
        QVERIFY(c->waitFor(1));
        QCOMPARE(c->take(), reply);
    }
    QVERIFY(f->probe(*c).startsWith(bin("_gets\0good"))); // nothing else came before the probe's answer
    QCOMPARE(f->presenter.asked.size(), question.isEmpty() ? 0 : 1);
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
                         u"数量：3    剩余库存：17\r\n"_s + u"可乐"_s + QString(46, u' ') +
                         u"数量：2    剩余库存：8\r\n"_s);
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

void RequestsTest::sessionFigures()
{
    f->store.setTariff(0, 1);
    f->store.addMachine(1, 3, MachineStatus::Standby);
    f->store.addMachine(2, 3, MachineStatus::Standby);
    Machine m = f->store.startSession(2, QDateTime(QDate(2002, 3, 14), QTime(10, 0)));
    m.pauseMinutes = 65;
    MachineTable(f->store.db()).save(m);
    f->reload();

    auto c = f->announced(2, kClient1);
    c->send(u"_gets"_s, {u"time"_s});
    QVERIFY(c->waitFor(1));
    QCOMPARE(c->take(), msgb(u"您的上机情况是：\r\n开始时间：3月14日 10:00\r\n到点时间：\r\n已用时间：2:5\r\n"
                             "暂停时间：1:5\r\n金    额：6.00元\r\n其他费用：\r\n总 金 额：6.00元"_s));
}

void RequestsTest::guessingIsThrottledPerNameAndAddress()
{
    addOperator(f->store.db(), u"老李"_s, u"c"_s, u"C"_s);
    const QString stored = OperatorTable(f->store.db()).byName(u"老李"_s)->password;
    const QByteArray wrong = msgb(u"验证用户名或密码错误，不能完成指令！"_s);
    auto guesser = f->connect(kClient1);
    auto ask = [](TestClient &client, const QString &password) {
        client.send(u"_vali"_s, {u"老李"_s, password, u"close"_s});
        return client.waitFor(1) ? client.take() : QByteArray();
    };
    // The stored hash is checked, not compared as text.
    QCOMPARE(ask(*guesser, u"c"_s), comm(u"close"_s));
    QCOMPARE(ask(*guesser, stored), wrong);
    for (int i = 1; i < GuessThrottle::kFailures; ++i) {
        Clock::advanceSeconds(1); // within the desk's budget of failures per second
        QCOMPARE(ask(*guesser, u"x"_s), wrong);
    }
    // Five failures within a minute: even the right password is not checked, and the PC is told.
    const QByteArray paused = msgb(u"密码错误次数太多，请稍后再试！"_s);
    QCOMPARE(ask(*guesser, u"c"_s), paused);
    // The name is paused from any address: a new address finds no fresh allowance.
    auto other = f->connect(kClient2);
    QCOMPARE(ask(*other, u"c"_s), paused);
    Clock::advanceSeconds(GuessThrottle::kPauseSeconds + 1);
    QCOMPARE(ask(*guesser, u"c"_s), comm(u"close"_s));
}

void RequestsTest::cardSettlementApproved()
{
    f->store.addMachine(1, 3, MachineStatus::Billing, u"127.0.0.7"_s);
    f->store.addMachine(2, 3, MachineStatus::Billing, kClient1);
    addCard(f->store.db());
    f->reload();
    f->desk.select(1);
    QSignalSpy checkout(&f->desk, &FrontDesk::checkoutWithCardRequested);
    auto c = f->connect(kClient1);
    c->send(u"_vali"_s, {u"C1"_s, u"pw"_s, u"cardend"_s});
    QVERIFY(QTest::qWaitFor([&] { return f->presenter.isAsking(); }));
    QCOMPARE(f->presenter.asked.last().text, u"2号机要求用卡号为：C1的储金卡结帐，是否同意！"_s);
    QCOMPARE(f->presenter.asked.last().seconds, 0); // the operator decides in his own time
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
    f->store.addMachine(2, 3, MachineStatus::Billing, kClient2);
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
