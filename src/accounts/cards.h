#pragma once

#include "common/effects.h"
#include "common/result.h"
#include "store/accountrows.h"

#include <QString>
#include <expected>
#include <functional>

class Database;
class GuessThrottle;

namespace cards {

// A uniform draw in [0, 1,000,000,000).
using Draw = std::function<qint64()>;
// Draws from QRandomGenerator::system().
Draw systemDraw();

// A card number no card has yet, compared by number value (an existing 000123 blocks 123).
Result<QString> generateNumber(Database &db, const Draw &draw = systemDraw());

// "剩余金额：" while modifying a card: the stored balance moved by the change of the total.
double remainingAfter(const Card &stored, const QString &typedTotal);

// The card dialog's edit frame, as typed.
struct CardInput
{
    QString number;
    QString total;
    QString totalHours;
    QString password; // on modify, empty keeps the stored password
    QString customer;
};

// The card rules count the cash they take (总金额 of a new card, a raise of it, a top-up) into
// `effects`' takings.

// Issues a new card: 金额 equals 总金额; every field is needed and both the total and the
// hours must be above 0; the number is checked again for uniqueness.
Result<Card> add(Database &db, Effects &effects, const CardInput &input);

// Changes total, hours and (when typed) password of card `rowid`. 金额 becomes the stored 金额
// plus the change of the total at the moment of saving, so a checkout by card made meanwhile
// is kept.
Result<Card> saveTerms(Database &db, Effects &effects, qint64 rowid, const CardInput &input);

Result<> remove(Database &db, qint64 rowid);

// "充值": `amount` (its number value, above 0) added to the card's 金额 and 总金额 in one
// write; 总机时 grows in proportion, so the card's price per hour stays what was sold.
Result<Card> topUp(Database &db, Effects &effects, qint64 rowid, const QString &amount);

// Why a card check failed; the link answers the number and the password case differently.
enum class CardFailure { NoSuchCard, WrongPassword, Throttled };

// The card with this number and password; a password kept in clear is replaced by its hash
// on success. Failures count against the number, and `source` when it is a PC's address.
std::expected<Card, CardFailure> verify(Database &db, GuessThrottle &throttle, const QString &source,
                                        const QString &number, const QString &password);

} // namespace cards
