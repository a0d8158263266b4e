#include "cards.h"

#include "accountslog.h"
#include "common/loglimit.h"
#include "common/numbers.h"
#include "guessthrottle.h"
#include "passwords.h"
#include "store/accounttables.h"
#include "store/database.h"

#include <QRandomGenerator>
#include <QSet>

namespace cards {

namespace {

constexpr qint64 kNumberRange = 1'000'000'000;
// A draw this often used means the source is broken, not unlucky.
constexpr int kMaxDraws = 1000;

const QString kIncomplete = QStringLiteral("你所添加的资料不全，请你确认输入！");
const QString kNotPositive = QStringLiteral("储金卡的总金额和总机时必须大于0！");

QSet<double> usedNumbers(Database &db)
{
    QSet<double> used;
    for (const QString &n : CardTable(db).numbers())
        used.insert(numberValue(n));
    return used;
}

} // namespace

Draw systemDraw()
{
    return [] { return qint64(QRandomGenerator::system()->bounded(quint32(kNumberRange))); };
}

Result<QString> generateNumber(Database &db, const Draw &draw)
{
    const QSet<double> used = usedNumbers(db);
    for (int i = 0; i < kMaxDraws; ++i) {
        const qint64 n = draw();
        if (n >= 0 && n < kNumberRange && !used.contains(double(n)))
            return QString::number(n);
    }
    return failure(QStringLiteral("无法生成新的卡号，请重试！"));
}

double remainingAfter(const Card &stored, const QString &typedTotal)
{
    return stored.balance + (numberValue(typedTotal) - stored.total);
}

Result<Card> add(Database &db, Effects &effects, const CardInput &in)
{
    if (in.customer.isEmpty() || in.total.isEmpty() || in.totalHours.isEmpty() || in.password.isEmpty() ||
        in.number.isEmpty())
        return failure(kIncomplete);
    Card c;
    c.number = in.number;
    c.total = numberValue(in.total);
    c.totalHours = numberValue(in.totalHours);
    c.customer = in.customer;
    c.balance = c.total;
    // A card without money or hours would check out for free.
    if (!(c.total > 0) || !(c.totalHours > 0))
        return failure(kNotPositive);
    const Result<QString> hashed = passwords::hash(in.password);
    if (!hashed)
        return failure(hashed.error());
    c.password = *hashed;

    Transaction transaction(db);
    const bool digitsOnly =
        std::all_of(c.number.begin(), c.number.end(), [](QChar ch) { return ch >= u'0' && ch <= u'9'; });
    if (!digitsOnly || c.number.size() > 9 || usedNumbers(db).contains(numberValue(c.number)))
        return failure(QStringLiteral("该卡号已被使用，请重新生成卡号！"));
    if (!CardTable(db).addIssued(c))
        return failure(db.lastError());
    c.rowid = db.lastInsertId();
    if (!transaction.commit())
        return failure(db.lastError());
    effects.takings.cardSales = c.total;
    return c;
}

Result<Card> saveTerms(Database &db, Effects &effects, qint64 rowid, const CardInput &in)
{
    if (in.total.isEmpty() || in.totalHours.isEmpty())
        return failure(kIncomplete);
    const double total = numberValue(in.total);
    const double hours = numberValue(in.totalHours);
    if (!(total > 0) || !(hours > 0))
        return failure(kNotPositive);

    Transaction transaction(db);
    CardTable table(db);
    std::optional<Card> c = table.byRowid(rowid);
    if (!c)
        return failure(QStringLiteral("该储金卡已不存在！"));
    c->balance = remainingAfter(*c, in.total);
    // A total raised is money taken for the card, as at a top-up.
    effects.takings.cardSales = total - c->total;
    c->total = total;
    c->totalHours = hours;
    if (!table.saveTerms(rowid, c->total, c->totalHours, c->balance))
        return failure(db.lastError());
    // Saving hashes the password, typed or kept.
    if (!in.password.isEmpty() || !passwords::isHashed(c->password)) {
        const Result<QString> hashed = passwords::hash(in.password.isEmpty() ? c->password : in.password);
        if (!hashed)
            return failure(hashed.error());
        c->password = *hashed;
        if (!table.setPassword(rowid, c->password))
            return failure(db.lastError());
    }
    if (!transaction.commit())
        return failure(db.lastError());
    return *c;
}

Result<Card> topUp(Database &db, Effects &effects, qint64 rowid, const QString &amount)
{
    const double added = roundEven(numberValue(amount), 2);
    if (!(added > 0))
        return failure(QStringLiteral("充值金额必须大于0！"));
    Transaction transaction(db);
    // A checkout paying from the card meanwhile keeps what it took.
    if (!db.lockRows(QStringLiteral("cjkgl"), {rowid}))
        return failure(db.lastError());
    CardTable table(db);
    std::optional<Card> c = table.byRowid(rowid);
    if (!c)
        return failure(QStringLiteral("该储金卡已不存在！"));
    if (c->total > 0)
        c->totalHours = roundEven(c->totalHours + added * c->totalHours / c->total, 2);
    c->total += added;
    c->balance += added;
    effects.takings.cardSales = added;
    if (!table.saveTerms(rowid, c->total, c->totalHours, c->balance))
        return failure(db.lastError());
    if (!transaction.commit())
        return failure(db.lastError());
    return *c;
}

Result<> remove(Database &db, qint64 rowid)
{
    if (!CardTable(db).remove(rowid))
        return failure(db.lastError());
    return {};
}

std::expected<Card, CardFailure> verify(Database &db, GuessThrottle &throttle, const QString &source,
                                        const QString &number, const QString &password)
{
    const QString subject = GuessThrottle::cardSubject(number);
    if (throttle.wait(subject, source) > 0) {
        if (const auto left = LogLimit::shared().allow(QStringLiteral("card-throttled"), source))
            qCWarning(lcAccounts).noquote()
                << "card password check refused, too many failures for the card or from" << source
                << LogLimit::leftOutNote(*left);
        return std::unexpected(CardFailure::Throttled);
    }
    const QList<Card> found = CardTable(db).numbered(number);
    for (Card c : found) {
        if (!passwords::matches(c.password, password))
            continue;
        if (!passwords::isHashed(c.password)) {
            const Result<QString> hashed = passwords::hash(c.password);
            if (hashed && CardTable(db).setPassword(c.rowid, *hashed))
                c.password = *hashed;
            else
                qCWarning(lcAccounts) << "could not hash the stored password of card" << c.number;
        }
        return c;
    }
    // A PC can cause these by the thousand: one line a minute per address.
    if (const auto left = LogLimit::shared().allow(QStringLiteral("card-failed"), source))
        qCWarning(lcAccounts).noquote()
            << "failed card check for" << number << "from" << source << LogLimit::leftOutNote(*left);
    throttle.failed(subject, source);
    return std::unexpected(found.isEmpty() ? CardFailure::NoSuchCard : CardFailure::WrongPassword);
}

} // namespace cards
