#include "accounts/cards.h"
#include "accounts/customers.h"
#include "accounts/guessthrottle.h"
#include "common/numbers.h"
#include "store/accounttables.h"
#include "support/teststore.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A card as older versions kept it: password in clear.
Card legacyCard(const QString &number, double total, double balance, const QString &customer = u"00000001"_s)
{
    return {0, number, total, 50, u"pw"_s, customer, 3, 2, balance};
}

cards::Draw scripted(QList<qint64> draws)
{
    return [draws]() mutable { return draws.isEmpty() ? qint64(7) : draws.takeFirst(); };
}

} // namespace

class CardsTest : public QObject
{
    Q_OBJECT

private slots:
    void newCustomerTakesTheNumberAtSave();
    void customerSaveKeepsFigures();
    void customerWithCardIsKept();
    void balanceFollowsTotal_data();
    void balanceFollowsTotal();
    void newCardStartsFull();
    void incompleteCardsRefused_data();
    void incompleteCardsRefused();
    void generatorSkipsUsedNumbers();
    void cardPasswordUpgraded();
};

void CardsTest::newCustomerTakesTheNumberAtSave()
{
    TestStore t;
    QCOMPARE(customers::nextNumber(t.db()), u"00000001"_s);
    for (int i = 0; i < 3; ++i)
        QVERIFY(customers::add(t.db(), Customer{}));
    const QList<Customer> three = CustomerTable(t.db()).all();
    QCOMPARE(three.at(2).number, u"00000003"_s);
    QVERIFY(customers::remove(t.db(), three.at(1).rowid));
    QCOMPARE(customers::nextNumber(t.db()), u"00000002"_s);

    // The dialog showed 00000002, then a session start registered a customer with it.
    t.addCustomer(u"00000002"_s, u"甲"_s);
    Customer c;
    c.number = u"00000002"_s;
    c.name = u"乙"_s;
    const Result<Customer> added = customers::add(t.db(), c);
    QVERIFY(added);
    QCOMPARE(added->number, u"00000004"_s);
    QCOMPARE(CustomerTable(t.db()).byName(u"乙"_s)->number, u"00000004"_s);
}

void CardsTest::customerSaveKeepsFigures()
{
    TestStore t;
    t.addCustomer(u"00000001"_s, u"甲"_s);
    const QDateTime last(QDate(2026, 1, 2), QTime(3, 4, 5));
    QVERIFY(CustomerTable(t.db()).addVisitByNumber(u"00000001"_s, 12.5, last));
    Customer edited = CustomerTable(t.db()).all().at(0);
    edited.name = u"甲乙"_s;
    edited.phone = u"123"_s;
    edited.spent = 0;
    edited.visits = 0;
    edited.lastVisit = {};
    QVERIFY(customers::saveDetails(t.db(), edited));
    const Customer after = CustomerTable(t.db()).all().at(0);
    QCOMPARE(after.name, u"甲乙"_s);
    QCOMPARE(after.phone, u"123"_s);
    QCOMPARE(after.spent, 12.5);
    QCOMPARE(after.visits, 1);
    QCOMPARE(after.lastVisit, last);
}

void CardsTest::customerWithCardIsKept()
{
    TestStore t;
    t.addCustomer(u"00000001"_s, u"甲"_s);
    QVERIFY(CardTable(t.db()).add(legacyCard(u"5"_s, 100, 30)));
    const Customer c = CustomerTable(t.db()).all().at(0);
    const QString refusal = u"不能删除当前客户，因为还有该客户还有储金卡！"_s;
    QCOMPARE(customers::checkDeletable(t.db(), c.number).error(), refusal);
    QCOMPARE(customers::remove(t.db(), c.rowid).error(), refusal);
    QVERIFY(cards::remove(t.db(), CardTable(t.db()).all().at(0).rowid));
    QVERIFY(customers::remove(t.db(), c.rowid));
    QVERIFY(CustomerTable(t.db()).all().isEmpty());
}

void CardsTest::balanceFollowsTotal_data()
{
    QTest::addColumn<double>("balanceAtSave"); // a checkout may have charged the card meanwhile
    QTest::addColumn<double>("stored");
    QTest::newRow("untouched") << 30.0 << 80.0;
    QTest::newRow("checkout by card meanwhile") << 24.0 << 74.0;
}

void CardsTest::balanceFollowsTotal()
{
    QFETCH(double, balanceAtSave);
    QFETCH(double, stored);
    TestStore t;
    QVERIFY(CardTable(t.db()).add(legacyCard(u"5"_s, 100, 30)));
    const Card shown = CardTable(t.db()).all().at(0);
    QCOMPARE(cards::remainingAfter(shown, u"150"_s), 80.0);

    Card meanwhile = shown;
    meanwhile.balance = balanceAtSave;
    QVERIFY(CardTable(t.db()).save(meanwhile));
    Effects effects;
    const Result<Card> saved = cards::saveTerms(t.db(), effects, shown.rowid, {u"5"_s, u"150"_s, u"60"_s, {}, u"00000001"_s});
    QVERIFY(saved);
    QCOMPARE(effects.takings.cardSales, 50.0); // the total raised is cash taken
    const Card after = CardTable(t.db()).all().at(0);
    QCOMPARE(after.balance, stored);
    QCOMPARE(after.total, 150.0);
    QCOMPARE(after.totalHours, 60.0);
    QCOMPARE(after.usedHours, 3.0);
    QCOMPARE(after.sessions, 2);
    // The password kept is still "pw", now hashed.
    QVERIFY(after.password.startsWith(u"$y$"_s));
    GuessThrottle throttle;
    QVERIFY(cards::verify(t.db(), throttle, u"test"_s, u"5"_s, u"pw"_s));
}

void CardsTest::newCardStartsFull()
{
    TestStore t;
    Effects effects;
    const Result<Card> added = cards::add(t.db(), effects, {u"77"_s, u"200"_s, u"100"_s, u"secret"_s, u"00000001"_s});
    QVERIFY(added);
    QCOMPARE(effects.takings.cardSales, 200.0);
    const Card c = CardTable(t.db()).all().at(0);
    QCOMPARE(c.number, u"77"_s);
    QCOMPARE(c.balance, 200.0);
    QCOMPARE(c.usedHours, 0.0);
    QCOMPARE(c.sessions, 0);
    QVERIFY(c.password.startsWith(u"$y$"_s));
    // The number is checked again at save, by value.
    QCOMPARE(cards::add(t.db(), effects, {u"077"_s, u"10"_s, u"5"_s, u"x"_s, u"00000001"_s}).error(),
             u"该卡号已被使用，请重新生成卡号！"_s);
}

void CardsTest::incompleteCardsRefused_data()
{
    QTest::addColumn<QStringList>("fields"); // number, total, hours, password, customer
    QTest::addColumn<QString>("message");
    const QString incomplete = u"你所添加的资料不全，请你确认输入！"_s;
    const QString notPositive = u"储金卡的总金额和总机时必须大于0！"_s;
    QTest::newRow("no customer") << QStringList{u"1"_s, u"10"_s, u"5"_s, u"p"_s, {}} << incomplete;
    QTest::newRow("no total") << QStringList{u"1"_s, {}, u"5"_s, u"p"_s, u"00000001"_s} << incomplete;
    QTest::newRow("no hours") << QStringList{u"1"_s, u"10"_s, {}, u"p"_s, u"00000001"_s} << incomplete;
    QTest::newRow("no password") << QStringList{u"1"_s, u"10"_s, u"5"_s, {}, u"00000001"_s} << incomplete;
    QTest::newRow("free money") << QStringList{u"1"_s, u"0"_s, u"5"_s, u"p"_s, u"00000001"_s} << notPositive;
    QTest::newRow("free hours") << QStringList{u"1"_s, u"10"_s, u"0."_s, u"p"_s, u"00000001"_s}
                                << notPositive;
}

void CardsTest::incompleteCardsRefused()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    TestStore t;
    Effects effects;
    const Result<Card> added = cards::add(t.db(), effects, {fields[0], fields[1], fields[2], fields[3], fields[4]});
    QCOMPARE(added.error(), message);
    QVERIFY(CardTable(t.db()).all().isEmpty());
    // A card that would check out for free cannot be made by modifying either.
    if (!fields[1].isEmpty() && !fields[2].isEmpty() && (numberValue(fields[1]) <= 0 || numberValue(fields[2]) <= 0)) {
        QVERIFY(CardTable(t.db()).add(legacyCard(u"5"_s, 100, 30)));
        const Card c = CardTable(t.db()).all().at(0);
        QCOMPARE(cards::saveTerms(t.db(), effects, c.rowid, {c.number, fields[1], fields[2], {}, c.customer}).error(),
                 message);
        QCOMPARE(CardTable(t.db()).all().at(0).total, 100.0);
    }
}

void CardsTest::generatorSkipsUsedNumbers()
{
    TestStore t;
    QVERIFY(CardTable(t.db()).add(legacyCard(u"000123"_s, 100, 30)));
    QVERIFY(CardTable(t.db()).add(legacyCard(u"456"_s, 100, 30)));
    QCOMPARE(*cards::generateNumber(t.db(), scripted({123, 456, 123, 0})), u"0"_s);
    QCOMPARE(*cards::generateNumber(t.db(), scripted({999999999})), u"999999999"_s);
    // A source that only repeats used numbers gives up instead of hanging.
    QVERIFY(!cards::generateNumber(t.db(), [] { return qint64(123); }));
    const Result<QString> fromSystem = cards::generateNumber(t.db());
    QVERIFY(fromSystem && fromSystem->size() <= 9);
}

void CardsTest::cardPasswordUpgraded()
{
    TestStore t;
    QVERIFY(CardTable(t.db()).add(legacyCard(u"5"_s, 100, 30)));
    GuessThrottle throttle;
    const QString peer = u"10.0.0.7"_s;
    QCOMPARE(cards::verify(t.db(), throttle, peer, u"6"_s, u"pw"_s).error(), cards::CardFailure::NoSuchCard);
    QCOMPARE(cards::verify(t.db(), throttle, peer, u"5"_s, u"PW"_s).error(), cards::CardFailure::WrongPassword);
    QCOMPARE(CardTable(t.db()).all().at(0).password, u"pw"_s);
    QVERIFY(cards::verify(t.db(), throttle, peer, u"5"_s, u"pw"_s));
    const QString hashed = CardTable(t.db()).all().at(0).password;
    QVERIFY(hashed.startsWith(u"$y$"_s));
    QVERIFY(cards::verify(t.db(), throttle, peer, u"5"_s, u"pw"_s));
    QCOMPARE(cards::verify(t.db(), throttle, peer, u"5"_s, hashed).error(), cards::CardFailure::WrongPassword);
    // Three failures so far from this peer; the fifth pauses it.
    QVERIFY(!cards::verify(t.db(), throttle, peer, u"5"_s, u"x"_s));
    QVERIFY(!cards::verify(t.db(), throttle, peer, u"5"_s, u"y"_s));
    QCOMPARE(cards::verify(t.db(), throttle, peer, u"5"_s, u"pw"_s).error(), cards::CardFailure::Throttled);
}

QTEST_GUILESS_MAIN(CardsTest)
#include "cards_test.moc"
