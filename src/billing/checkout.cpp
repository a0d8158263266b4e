#include "checkout.h"

#include "accounts/cards.h"
#include "accounts/guessthrottle.h"
#include "billing/fee.h"
#include "billing/machinelist.h"
#include "common/clock.h"
#include "common/numbers.h"
#include "store/accounttables.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/journaltable.h"
#include "store/machinetable.h"

#include <QLoggingCategory>
#include <algorithm>

Q_LOGGING_CATEGORY(lcCheckout, "corvana.checkout")

double receivedByDiscount(double discount, double due, double prepaid)
{
    // + 0.0: nothing to take is 0, not -0.
    return roundToHalf(discount > 0 ? discount * due / 100 - prepaid : due - prepaid) + 0.0;
}

double combinedDue(double total)
{
    return roundToHalf(total);
}

std::optional<double> cardCharge(double received, const Card &card, double rate)
{
    if (!(rate > 0) || !(card.totalHours > 0) || !(card.total > 0))
        return std::nullopt;
    return std::max(0.0, roundToHalf(received * card.total / rate / card.totalHours));
}

double changeFor(double received, double toPay)
{
    return received > toPay ? roundEven(received - toPay, 2) : 0.0;
}

QList<double> sharesOf(double taken, const QList<double> &dues)
{
    double dueTotal = 0;
    for (double d : dues)
        dueTotal += d;
    QList<double> shares;
    double given = 0;
    for (qsizetype i = 0; i < dues.size(); ++i) {
        double share = 0;
        if (i + 1 == dues.size())
            share = roundEven(taken - given, 2);
        else if (dueTotal != 0)
            share = roundEven(taken * dues.at(i) / dueTotal, 2);
        given += share;
        shares.append(share);
    }
    return shares;
}

double discountGranted(double taken, double due)
{
    if (due == 0)
        return 0;
    return roundEven(taken / due * 100, 2);
}

Checkout::Checkout(const BillingScope &scope, const QString &cashier) : m_scope(scope), m_cashier(cashier) {}

bool Checkout::open(int position)
{
    if (position < 1)
        return false;
    // One read: every machine (for the others to offer), the tariff and the selected
    // machine's goods.
    const FeeInputs in = MachineTable(m_scope.db).allWithLinesOf(position);
    if (position > in.machines.size())
        return false;
    const FeeInputs::Entry &selected = in.machines.at(position - 1);
    const Machine &m = selected.machine;
    const Tariff tariff = Tariff::from(in.tariff);
    const QDateTime now = Clock::now();
    m_rowid = m.rowid;
    m_position = m.position;
    m_name = m.name;
    m_number = m.number;
    m_start = m.start;
    m_due = plainNumber(CountJF(m, tariff, pricedTotal(selected.lines), now));
    m_prepaid = plainNumber(m.prepaid);
    m_discount.clear();
    m_received = plainNumber(receivedByDiscount(0, numberValue(m_due), m.prepaid));
    m_others.clear();
    m_selectedOthers.clear();
    for (const FeeInputs::Entry &e : in.machines) {
        const Machine &other = e.machine;
        if (other.rowid != m_rowid && other.inSession())
            m_others.append({other.rowid, other.name, other.number, other.start});
    }
    m_bill.clear();
    m_bill.appendMachine(billtext::machineLines(m, tariff, selected.lines, now), payment());
    return true;
}

QString Checkout::caption() const
{
    const MachineList::Entry *e = m_scope.list.at(m_position);
    return (e ? e->text : QString()) + QStringLiteral("->要结帐？");
}

void Checkout::setDiscountText(const QString &text)
{
    m_discount = text;
    recomputeReceived();
}

void Checkout::recomputeReceived()
{
    setReceivedText(
        plainNumber(receivedByDiscount(numberValue(m_discount), numberValue(m_due), numberValue(m_prepaid))));
}

void Checkout::setReceivedText(const QString &text)
{
    m_received = text;
    m_bill.setPayment(payment());
}

void Checkout::setSelectedOthers(const QList<int> &indexes)
{
    QList<int> chosen;
    for (int i : indexes)
        if (i >= 0 && i < m_others.size() && !chosen.contains(i))
            chosen.append(i);
    std::sort(chosen.begin(), chosen.end());
    m_selectedOthers = chosen;

    QList<qint64> rowids{m_rowid};
    for (int i : chosen)
        rowids.append(m_others.at(i).rowid);
    const FeeInputs in = MachineTable(m_scope.db).withLines(rowids);
    const Tariff tariff = Tariff::from(in.tariff);
    const QDateTime now = Clock::now();
    const billtext::Payment shown = payment();
    double total = 0;
    double prepaid = 0;
    m_bill.clear();
    for (qint64 rowid : std::as_const(rowids)) {
        if (const FeeInputs::Entry *e = in.find(rowid)) {
            total += CountJF(e->machine, tariff, pricedTotal(e->lines), now);
            prepaid += e->machine.prepaid;
            m_bill.appendMachine(billtext::machineLines(e->machine, tariff, e->lines, now), shown);
        }
    }
    m_due = plainNumber(combinedDue(total));
    // What the customers of all these machines paid in advance is not asked again.
    m_prepaid = plainNumber(prepaid);
    recomputeReceived();
}

void Checkout::setCard(const QString &number, const QString &password)
{
    m_cardNumber = number;
    m_cardPassword = password;
}

double Checkout::toPay() const
{
    return receivedByDiscount(numberValue(m_discount), numberValue(m_due), numberValue(m_prepaid));
}

double Checkout::change() const
{
    return m_useCard ? 0.0 : changeFor(numberValue(m_received), toPay());
}

billtext::Payment Checkout::payment() const
{
    return {numberValue(m_received), numberValue(m_prepaid), change()};
}

void Checkout::setUseCard(bool use)
{
    m_useCard = use;
    m_bill.setPayment(payment());
}

std::optional<Checkout::Refusal> Checkout::chargeCard(double rate, const QStringList &sessionCustomers,
                                                      double *charged, double *left)
{
    Database &db = m_scope.db;
    CardTable cards(db);
    GuessThrottle unthrottled;
    const std::expected<Card, cards::CardFailure> verified =
        cards::verify(db, m_scope.throttle ? *m_scope.throttle : unthrottled, QStringLiteral("checkout"),
                      m_cardNumber, m_cardPassword);
    std::optional<Card> card = verified ? std::optional<Card>(*verified) : std::nullopt;
    if (!card && verified.error() == cards::CardFailure::Throttled && m_scope.throttle)
        return Refusal{Refusal::Kind::CardWrong,
                       GuessThrottle::deskMessage(m_scope.throttle->secondsLeft(
                           GuessThrottle::cardSubject(m_cardNumber), QStringLiteral("checkout")))};
    if (!card)
        return Refusal{Refusal::Kind::CardWrong, QStringLiteral("储金卡卡号或密码错误,请确认后再次结帐！")};
    // Another counter may be paying from the same card: its balance counts as it stands
    // under the card's lock.
    if (!db.lockRows(QStringLiteral("cjkgl"), {card->rowid}))
        return Refusal{Refusal::Kind::StoreFailed, QString()};
    // Whether its owner is one of the sessions' customers is read along with it.
    bool ownerIsSessionCustomer = false;
    card = cards.byRowidOwnerNamed(card->rowid, sessionCustomers, &ownerIsSessionCustomer);
    if (!card)
        return Refusal{Refusal::Kind::CardWrong, QStringLiteral("储金卡卡号或密码错误,请确认后再次结帐！")};
    // Without a price the card would pay for any amount with nothing.
    const std::optional<double> charge = cardCharge(numberValue(m_received), *card, rate);
    if (!charge)
        return Refusal{Refusal::Kind::CardNoPrice,
                       QStringLiteral("该机器或储金卡没有记费标准，不能用储金卡结帐！")};
    if (card->balance < *charge)
        return Refusal{Refusal::Kind::CardShort,
                       QStringLiteral("储金卡金额不足，请确认后再结帐！\r\n当前卡金额：") +
                           plainNumber(card->balance)};
    *charged = *charge;
    card->balance -= *charge;
    *left = card->balance;
    card->usedHours = roundEven(card->usedHours + *charge * card->totalHours / card->total, 2);
    card->sessions += 1;
    if (!cards.save(*card))
        return Refusal{Refusal::Kind::StoreFailed, QString()};

    // A card given to no customer must not credit every customer without a number; an owner
    // who is also a session's customer is credited once, by that session.
    if (!card->customer.isEmpty() && !ownerIsSessionCustomer &&
        !CustomerTable(db).addVisitByNumber(card->customer, *charge, Clock::now()))
        return Refusal{Refusal::Kind::StoreFailed, QString()};
    return std::nullopt;
}

bool Checkout::ClearJF(const Machine &m, double machineDue, double share, double discount, bool hasGoods,
                       const QDateTime &now, QList<Settled> *settled)
{
    Database &db = m_scope.db;
    JournalTable journal(db);
    JournalEntry entry;
    entry.machine = m.number;
    entry.start = m.start;
    entry.end = now;
    entry.mode = m.mode;
    entry.due = machineDue;
    entry.received = share;
    entry.discount = discount;
    entry.cashier = m_cashier;
    entry.customer = m.customer;
    entry.idKind = m.idKind;
    entry.idNumber = m.idNumber;
    if (!journal.addNumbered(entry))
        return false;
    if (hasGoods && !OrderTable(db).copyLinesToSales(m.number, db.lastInsertId()))
        return false;
    settled->append({m.position, m.ip, {m.number, machineDue, share}});
    return true;
}

Checkout::Outcome Checkout::settle(Effects &effects, bool shutdown)
{
    if (m_rowid == 0)
        return std::unexpected(Refusal{});

    // The machines to settle, the selected one first, each with what it is due now. A machine
    // removed or settled meanwhile stops the whole checkout: settling the rest would take
    // money for a bill that no longer holds.
    Database &db = m_scope.db;
    MachineTable machines(db);
    struct Chosen
    {
        qint64 rowid;
        QString name;
        int number;
        QDateTime start;
    };
    QList<Chosen> chosen{{m_rowid, m_name, m_number, m_start}};
    for (int i : std::as_const(m_selectedOthers)) {
        const OtherMachine &o = m_others.at(i);
        chosen.append({o.rowid, o.name, o.number, o.start});
    }
    QList<qint64> rowids;
    for (const Chosen &c : std::as_const(chosen))
        rowids.append(c.rowid);
    auto storeFailed = [&db] {
        qCWarning(lcCheckout) << "checkout not written:" << db.lastError();
        return std::unexpected<Refusal>(
            Refusal(QStringLiteral("结帐失败，数据没有任何改动！\r\n") + db.lastError()));
    };

    // Another counter may be settling, starting or moving the same machines: under their
    // locks the rows, their goods and the tariff are read once, as they are now. The journal
    // is locked last, only to number the rows, so checkouts at other counters wait for it
    // for a few statements only.
    if (!machines.lockRows(rowids))
        return storeFailed();
    const QDateTime now = Clock::now();
    const FeeInputs in = machines.withLines(rowids);
    const Tariff tariff = Tariff::from(in.tariff);
    QList<const FeeInputs::Entry *> settling;
    QList<double> dues;
    double prepaid = 0;
    QStringList customers;
    for (const Chosen &c : std::as_const(chosen)) {
        const FeeInputs::Entry *e = in.find(c.rowid);
        if (!e || !e->machine.inSession()) {
            // Settled at another counter while this one waited, or gone otherwise.
            const bool settledElsewhere = e && JournalTable(db).hasSession(c.number, c.start);
            qCWarning(lcCheckout) << "machine row" << c.rowid
                                  << (settledElsewhere ? "was settled meanwhile" : "is gone or idle")
                                  << "; nothing settled";
            return std::unexpected(Refusal{Refusal::Kind::MachineGone,
                                           settledElsewhere
                                               ? QStringLiteral("该计算机已经结帐！")
                                               : c.name + QStringLiteral("已经不在记费中，不能结帐！")});
        }
        settling.append(e);
        dues.append(CountJF(e->machine, tariff, pricedTotal(e->lines), now));
        prepaid += e->machine.prepaid;
        if (!e->machine.customer.isEmpty())
            customers.append(e->machine.customer);
    }

    // All the money the café keeps for these sessions: what was prepaid and what is taken now
    // (below 0: handed back out of the prepaid money), less the change handed back. Its shares
    // follow the dues as they are now, so they add up even when the figures on screen are
    // minutes old.
    const double change = this->change();
    const double taken = numberValue(m_received) - change + prepaid;
    const QList<double> shares = sharesOf(taken, dues);
    const double discount = discountGranted(taken, numberValue(m_due));

    double cardCharge = 0;
    double cardBalance = 0;
    if (m_useCard) {
        if (const std::optional<Refusal> refusal =
                chargeCard(settling.constFirst()->machine.rate, customers, &cardCharge, &cardBalance))
            return refusal->kind == Refusal::Kind::StoreFailed ? storeFailed()
                                                               : std::unexpected<Refusal>(*refusal);
    }
    // The machines stand by again and their customers are credited; a walk-in session has no
    // customer, and crediting it to every nameless customer would corrupt their totals.
    if (!machines.resetSessions(rowids))
        return storeFailed();
    for (qsizetype i = 0; i < settling.size(); ++i) {
        const Machine &m = settling.at(i)->machine;
        if (!m.customer.isEmpty() && !CustomerTable(db).addVisitByName(m.customer, shares.at(i), now))
            return storeFailed();
    }
    // The journal rows in order, the selected machine's first, each taking the goods sold.
    QList<Settled> settled;
    QList<int> withGoods;
    if (!JournalTable(db).lockForNumbering())
        return storeFailed();
    for (qsizetype i = 0; i < settling.size(); ++i) {
        const FeeInputs::Entry &e = *settling.at(i);
        if (!ClearJF(e.machine, dues.at(i), shares.at(i), discount, !e.lines.isEmpty(), now, &settled))
            return storeFailed();
        if (!e.lines.isEmpty())
            withGoods.append(e.machine.number);
    }
    if (!OrderTable(db).removeLinesOf(withGoods))
        return storeFailed();

    // The drawer gets what was handed over less the change, or from a card only what goes back.
    const double cash = numberValue(m_received) - change;
    effects.takings.sessionCash = m_useCard ? std::min(cash, 0.0) : cash;
    effects.takings.cardPaid = cardCharge;

    Settlement done;
    done.discount = discount;
    if (m_useCard) {
        done.card = m_cardNumber;
        done.cardCharge = cardCharge;
        done.cardBalance = cardBalance;
    }
    MachineList &list = m_scope.list;
    for (const Settled &s : std::as_const(settled)) {
        effects.command(s.ip, QStringLiteral("stop"));
        effects.then([&list, position = s.position] { list.clearColumns(position); });
        done.positions.append(s.position);
        done.shares.append(s.share);
    }
    done.lastIp = settled.isEmpty() ? QString() : settled.constLast().ip;
    if (shutdown && !done.lastIp.isEmpty())
        effects.command(done.lastIp, QStringLiteral("shutdown"), Effects::Reach::Every);
    if (!settled.isEmpty())
        effects.select = settled.constLast().position;
    // Settled: a second settle must not write again, and the card is not asked for again.
    effects.then([this] {
        m_rowid = 0;
        m_useCard = false;
        m_cardNumber.clear();
        m_cardPassword.clear();
    });
    return done;
}
