#pragma once

#include "billing/bill.h"
#include "billing/scope.h"
#include "common/effects.h"
#include "store/accountrows.h"
#include "store/machinerow.h"

#include <expected>
#include <optional>

#include <QList>
#include <QString>

// The money still to take for the amount due, less what was prepaid, after a discount of
// `discount` percent (none when it is not above 0), to the half yuan. Below 0 when more was
// prepaid than is taken: the customer gets the difference back.
double receivedByDiscount(double discount, double due, double prepaid);
// Amount due of several machines settled together: their sum to the half yuan, whatever the
// café's rounding unit.
double combinedDue(double total);
// What a stored-value card is charged for `received` yuan of a machine at `rate` yuan per
// hour: the hours the money buys, priced at the card's own hourly price, to the half yuan,
// never below 0. None when the machine or the card has no price to form it from.
std::optional<double> cardCharge(double received, const Card &card, double rate);
// The money `taken` shared out over machines by what each is due: to the fen, the last
// share taking what rounding left, so the shares add up to exactly `taken`.
QList<double> sharesOf(double taken, const QList<double> &dues);
// The percentage of the amount due actually taken, to two decimals; 0 when nothing is due.
double discountGranted(double taken, double due);
// The change to hand back when the cashier typed the money handed over: what exceeds the
// money to pay (which may be below 0), to the fen; 0 when it does not exceed it.
double changeFor(double received, double toPay);

// Checkout of the selected machine, and of other running machines paid together with it:
// the figures and the bill the operator sees, and the settlement. The dialog only shows
// this and passes the operator's input on.
class Checkout final
{
public:
    struct OtherMachine
    {
        qint64 rowid = 0;
        QString name;
        int number = 0;
        QDateTime start; // of the session shown
    };

    // What a settlement did: the machines settled, in order (list positions).
    // What one machine's journal row took: its due and its share of the money.
    struct Share
    {
        int machine = 0;
        double due = 0;
        double received = 0;
    };
    struct Settlement
    {
        QList<int> positions;
        QString lastIp; // IP of the last machine settled
        QList<Share> shares;
        double discount = 0;
        QString card;           // the stored-value card that paid; empty for cash
        double cardCharge = 0;  // what was taken from it
        double cardBalance = 0; // what is left on it
    };
    // Why nothing was settled. The card refusals are told apart from a store failure, which
    // the operator is shown differently.
    struct Refusal
    {
        // MachineGone: a machine to settle was removed or is no longer in a session.
        // CardNoPrice: the card charge cannot be formed (no machine rate, no card price).
        enum class Kind { NoMachine, MachineGone, CardWrong, CardNoPrice, CardShort, StoreFailed };
        Refusal() = default;
        Refusal(Kind k, QString text) : kind(k), message(std::move(text)) {}
        // The store failed: `text` says so in the operator's words.
        explicit Refusal(QString text) : kind(Kind::StoreFailed), message(std::move(text)) {}
        Kind kind = Kind::NoMachine;
        QString message;
    };
    using Outcome = std::expected<Settlement, Refusal>;

    // `cashier` is written into the journal as the operator who settled.
    Checkout(const BillingScope &scope, const QString &cashier);

    // Loads the machine at `position`: amount due, prepaid, the other running machines and
    // the bill. False when there is no such machine.
    bool open(int position);

    // The selected list entry's text followed by "->要结帐？".
    QString caption() const;

    QString dueText() const { return m_due; }
    QString receivedText() const { return m_received; }
    QString discountText() const { return m_discount; }
    QString prepaidText() const { return m_prepaid; }
    const QList<OtherMachine> &others() const { return m_others; }
    bool usesCard() const { return m_useCard; }
    QString cardNumber() const { return m_cardNumber; }
    QString cardPassword() const { return m_cardPassword; }
    const Bill &bill() const { return m_bill; }
    // The money to pay now: the amount due after the discount, less what was prepaid.
    double toPay() const;
    // The change for the money typed as received; none when paying from a card, which is
    // charged what is typed.
    double change() const;
    // The money as the bill's end tells it.
    billtext::Payment payment() const;

    // A typed or chosen discount: recomputes the amount received.
    void setDiscountText(const QString &text);
    // A typed amount received: rewrites the bill's received line.
    void setReceivedText(const QString &text);
    // Indexes into others() to settle together with the selected machine: rebuilds the bill
    // and the amount due, and recomputes the amount received.
    void setSelectedOthers(const QList<int> &indexes);
    void setUseCard(bool use);
    void setCard(const QString &number, const QString &password);

    // Charges the card (when used), settles the machine opened, then each selected other
    // machine, inside the command path's transaction. Once it has committed the clients are
    // told to stop (with `shutdown`, every client at the last machine's address to shut down
    // as well), the list entries cleared and the last machine settled selected. Every journal
    // row gets its share of all the money the café keeps (every settled machine's prepaid
    // amount and what is received now, less change handed back) and the same discount.
    Outcome settle(Effects &effects, bool shutdown = false);

private:
    struct Settled
    {
        int position = 0;
        QString ip;
        Share share;
    };

    void recomputeReceived();
    // Takes the card's charge (into `charged`) unless the card refuses. The sessions'
    // customers are credited by the journal rows; the card's owner only when none of them.
    std::optional<Refusal> chargeCard(double rate, const QStringList &sessionCustomers, double *charged,
                                      double *left);
    // Writes the journal row of one machine due `machineDue`, its share of the money `share`,
    // and moves its goods (`hasGoods`) under that row. The journal is locked for numbering.
    bool ClearJF(const Machine &machine, double machineDue, double share, double discount, bool hasGoods,
                 const QDateTime &now, QList<Settled> *settled);

    BillingScope m_scope;
    QString m_cashier;
    qint64 m_rowid = 0;
    int m_position = 0;
    QString m_name;
    int m_number = 0;
    QDateTime m_start;
    QString m_due;
    QString m_received;
    QString m_discount;
    QString m_prepaid;
    QList<OtherMachine> m_others;
    QList<int> m_selectedOthers;
    bool m_useCard = false;
    QString m_cardNumber;
    QString m_cardPassword;
    Bill m_bill;
};
