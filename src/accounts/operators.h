#pragma once

#include "common/result.h"
#include "store/accountrows.h"

#include <QString>
#include <expected>
#include <optional>

class Database;
class GuessThrottle;

// Who is logged in: the operator name and right letter the rest of the program reads.
struct CurrentOperator
{
    QString name;
    QString right;
};

// A failed password check: no such credentials, or the source is paused for guessing.
enum class CheckFailure { NoMatch, Throttled };

// What start-up and "以其他用户登陆" do before showing the login dialog.
enum class LoginNeed {
    Ask,        // operators exist: ask for name and password
    NoOperators, // nobody to log in as: the right is "D", menus and caption stay
    Unreadable,  // the table cannot be read: nothing is asked and nothing changes
};
LoginNeed loginNeed(Database &db);

// Who is logged in once the login dialog closed; a cancelled login (`chosen` empty) keeps the
// previous operator, whose rights are then applied again.
CurrentOperator afterLogin(const CurrentOperator &before, const std::optional<Operator> &chosen);

// The first operator (in table order) with exactly this name and password. A password kept in
// clear is replaced by its hash on success. With a throttle, failures count against the name
// (and `source` when it is a PC's address), and a paused one is refused without looking.
std::expected<Operator, CheckFailure> verifyOperator(Database &db, const QString &name, const QString &password);
std::expected<Operator, CheckFailure> verifyOperator(Database &db, GuessThrottle &throttle, const QString &source,
                                                     const QString &name, const QString &password);

// The desktop lock's release: true for the name and password of the operator who locked
// (`lockedBy`) or of any "D" operator, and when there are no operators at all.
bool mayUnlock(Database &db, GuessThrottle &throttle, const QString &source, const QString &lockedBy,
               const QString &name, const QString &password);

// The operator dialog's edit frame.
struct OperatorEdit
{
    std::optional<qint64> rowid; // the operator being modified; empty while adding
    QString name;                // as typed, not trimmed
    QString right;               // "A" to "D"
    QString oldPassword = {};
    QString newPassword = {};
    QString confirmPassword = {};
};

// Which field the operator dialog puts the focus on after a refused save.
enum class OperatorField { None, Name, NewPassword, OldPassword };

struct OperatorSaveError
{
    QString message;
    OperatorField focus = OperatorField::None;
};

// Saves the frame, checking in order: the name, the two new passwords, the name's uniqueness,
// the old password (required for a "D" operator, and checked for others when typed), and that
// a "D" operator remains. On modify, empty new passwords keep the stored one.
std::expected<void, OperatorSaveError> saveOperator(Database &db, GuessThrottle &throttle, const QString &source,
                                                    const OperatorEdit &edit);

// Deletes operator `rowid`. A "D" operator needs `password` and must not be `currentName`
// ("不能删除用户！"); operators may not be left without a "D".
Result<> deleteOperator(Database &db, GuessThrottle &throttle, const QString &source, qint64 rowid,
                        const QString &password, const QString &currentName);
