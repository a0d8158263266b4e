#include "checkout.h"

#include "accounts/cards.h"
#include "accounts/guessthrottle.h"
#include "billing/clientlink.h"
#include "billing/fee.h"
#include "common/clock.h"
#include "common/numbers.h"
#include "billing/machinelist.h"
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
    if (discount > 0)
        return roundToHalf(discount * due / 100 - prepaid);
    return roundToHalf(due - prepaid);
}

double combinedDue(double total)
{
    return roundToHalf(total);
}

double cardCharge(double received, const Card &card, double rate)
{
    if (rate == 0 || card.totalHours == 0)
        return 0;
    return roundToHalf(received * card.total / rate / card.totalHours);
}

double shareOf(double received, double machineDue, double due)
{
    if (due == 0)
        return 0;
    return roundEven(received * machineDue / due, 2);
}

Checkout::Checkout(const BillingScope &scope, const QString &cashier) : m_scope(scope), m_cashier(cashier) {}

bool Checkout::open(int position)
{
    const std::optional<Machine> m = MachineTable(m_scope.db).at(position);
    if (!m)
        return false;
    m_rowid = m->rowid;
    m_position = m->position;
    m_due = plainNumber(CountJF(m_scope.db, *m));
    m_prepaid = plainNumber(m->prepaid);
    m_received = m_due;
    m_others.clear();
    m_selectedOthers.clear();
    for (const Machine &other : MachineTable(m_scope.db).all()) {
        if (other.rowid != m_rowid && other.inSession())
            m_others.append({other.rowid, other.name});
    }
    m_bill.clear();
    m_bill.appendMachine(machineBill(*m), numberValue(m_received));
    return true;
}

QString Checkout::caption() const
{
    const MachineList::Entry *e = m_scope.list.at(m_position);
    return (e ? e->text : QString()) + QStringLiteral("->要结帐？");
}

QString Checkout::machineBill(const Machine &machine)
{
    Database &db = m_scope.db;
    return billtext::machineLines(machine, Tariff::read(db), OrderTable(db).pricedLinesOf(machine.number),
                                  Clock::now());
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
    m_bill.setReceived(numberValue(text));
}

void Checkout::setSelectedOthers(const QList<int> &indexes)
{
    QList<int> chosen;
    for (int i : indexes)
        if (i >= 0 && i < m_others.size() && !chosen.contains(i))
            chosen.append(i);
    std::sort(chosen.begin(), chosen.end());
    m_selectedOthers = chosen;

    Database &db = m_scope.db;
    MachineTable machines(db);
    const double received = numberValue(m_received);
    double total = 0;
    m_bill.clear();
    if (const auto m = machines.byRowid(m_rowid)) {
        m_bill.appendMachine(machineBill(*m), received);
        total = CountJF(db, *m);
    }
    for (int i : chosen) {
        if (const auto o = machines.byRowid(m_others.at(i).rowid)) {
            total += CountJF(db, *o);
            m_bill.appendMachine(machineBill(*o), received);
        }
    }
    m_due = plainNumber(combinedDue(total));
    recomputeReceived();
}

void Checkout::setCard(const QString &number, const QString &password)
{
    m_cardNumber = number;
    m_cardPassword = password;
}

std::optional<Checkout::Refusal> Checkout::chargeCard()
{
    Database &db = m_scope.db;
    CardTable cards(db);
    GuessThrottle unthrottled;
    const std::expected<Card, cards::CardFailure> verified =
        cards::verify(db, m_scope.throttle ? *m_scope.throttle : unthrottled, QStringLiteral("checkout"),
                      m_cardNumber, m_cardPassword);
    std::optional<Card> card = verified ? std::optional<Card>(*verified) : std::nullopt;
    if (!card)
        return Refusal{Refusal::Kind::CardWrong, QStringLiteral("储金卡卡号或密码错误,请确认后再次结帐！")};
    const std::optional<Machine> machine = MachineTable(db).byRowid(m_rowid);
    const double charge = cardCharge(numberValue(m_received), *card, machine ? machine->rate : 0);
    if (card->balance < charge)
        return Refusal{Refusal::Kind::CardShort,
                       QStringLiteral("储金卡金额不足，请确认后再结帐！\r\n当前卡金额：") + plainNumber(card->balance)};
    card->balance -= charge;
    // A card without a price has no hours to count.
    if (card->total != 0)
        card->usedHours = roundEven(card->usedHours + charge * card->totalHours / card->total, 2);
    card->sessions += 1;
    // A card given to no customer must not credit every customer without a number.
    if (!cards.save(*card) || (!card->customer.isEmpty() &&
                               !CustomerTable(db).addVisitByNumber(card->customer, charge, Clock::now())))
        return Refusal{Refusal::Kind::StoreFailed, QString()};
    m_useCard = false;
    m_cardNumber.clear();
    m_cardPassword.clear();
    return std::nullopt;
}

bool Checkout::ClearJF(const Machine &m, double machineDue, double dueTotal, QList<Settled> *settled)
{
    Database &db = m_scope.db;
    const QDateTime now = Clock::now();

    JournalTable journal(db);
    JournalEntry entry;
    entry.id = journal.nextId();
    entry.machine = m.number;
    entry.start = m.start;
    entry.end = now;
    entry.mode = m.mode;
    entry.due = machineDue;
    entry.received = shareOf(numberValue(m_received), machineDue, dueTotal);
    entry.discount = numberValue(m_discount);
    entry.cashier = m_cashier;
    entry.customer = m.customer;
    entry.idKind = m.idKind;
    entry.idNumber = m.idNumber;
    if (!journal.add(entry))
        return false;

    // A walk-in session has no customer; crediting it to every nameless customer would
    // corrupt their totals.
    if (!m.customer.isEmpty() && !CustomerTable(db).addVisitByName(m.customer, entry.received, now))
        return false;

    Machine idle = m;
    idle.start = QDateTime();
    idle.due = QDateTime();
    idle.pauseStart = QDateTime();
    idle.pauseMinutes = 0;
    idle.prepaid = 0;
    idle.status = MachineStatus::Standby;
    idle.mode.clear();
    idle.customer.clear();
    idle.idKind.clear();
    idle.idNumber.clear();
    if (!MachineTable(db).save(idle))
        return false;

    OrderTable orders(db);
    SalesTable sales(db);
    for (const OrderLine &line : orders.linesOf(m.number)) {
        if (!sales.add({entry.id, line.machine, line.article, line.quantity, line.time}))
            return false;
    }
    if (!orders.removeLinesOf(m.number))
        return false;

    settled->append({m.position, m.ip});
    return true;
}

Checkout::Outcome Checkout::settle()
{
    if (m_rowid == 0)
        return std::unexpected(Refusal{});

    // The machines to settle, the selected one first, each with what it is due now. The money
    // received is shared out by these dues, so a single machine gets all of it and the shares
    // add up even when the figures on screen are minutes old.
    Database &db = m_scope.db;
    MachineTable machines(db);
    QList<qint64> rows{m_rowid};
    for (int i : std::as_const(m_selectedOthers))
        rows.append(m_others.at(i).rowid);
    QList<std::pair<Machine, double>> dues;
    double dueTotal = 0;
    for (qint64 rowid : std::as_const(rows)) {
        if (const std::optional<Machine> m = machines.byRowid(rowid)) {
            dues.append({*m, CountJF(db, *m)});
            dueTotal += dues.constLast().second;
        } else {
            qCWarning(lcCheckout) << "machine row" << rowid << "is gone; nothing to settle";
        }
    }

    // What the settlement changes in the figures; put back when it does not go through.
    const QString discount = m_discount;
    const QString received = m_received;
    const bool useCard = m_useCard;
    const QString cardNumber = m_cardNumber;
    const QString cardPassword = m_cardPassword;
    const Bill bill = m_bill;
    auto restore = [&] {
        m_discount = discount;
        m_received = received;
        m_useCard = useCard;
        m_cardNumber = cardNumber;
        m_cardPassword = cardPassword;
        m_bill = bill;
    };

    QList<Settled> settled;
    {
        Transaction transaction(db);
        bool ok = true;
        if (m_useCard) {
            if (const std::optional<Refusal> refusal = chargeCard()) {
                if (refusal->kind != Refusal::Kind::StoreFailed) {
                    restore();
                    return std::unexpected(*refusal);
                }
                ok = false;
            }
        }
        const double shownDue = numberValue(m_due);
        for (qsizetype i = 0; ok && i < dues.size(); ++i) {
            ok = ClearJF(dues.at(i).first, dues.at(i).second, dueTotal, &settled);
            // The discount the first machine was paid at, applied to the others: the amount
            // received is recomputed from it, still less the first machine's prepaid amount.
            if (ok && i == 0 && shownDue != 0)
                setDiscountText(plainNumber(roundEven(numberValue(m_received) / shownDue, 4) * 100));
        }
        ok = ok && transaction.commit();
        if (!ok) {
            qCWarning(lcCheckout) << "checkout rolled back:" << db.lastError();
            const QString message = QStringLiteral("结帐失败，数据没有任何改动！\r\n") + db.lastError();
            restore();
            return std::unexpected(Refusal{Refusal::Kind::StoreFailed, message});
        }
    }

    Settlement done;
    for (const Settled &s : std::as_const(settled)) {
        if (m_scope.link)
            m_scope.link->SendCommand(s.ip, QStringLiteral("stop"));
        m_scope.list.clearColumns(s.position);
        done.positions.append(s.position);
    }
    m_rowid = 0; // settled: a second settle must not write again
    done.lastIp = settled.isEmpty() ? QString() : settled.constLast().ip;
    return done;
}

Checkout::Outcome Checkout::settleAndShutdown()
{
    Outcome outcome = settle();
    if (outcome && m_scope.link && !outcome->lastIp.isEmpty())
        m_scope.link->SendCommand(outcome->lastIp, QStringLiteral("shutdown"), ClientLink::Reach::Every);
    return outcome;
}
