// The client's queries (goods list, session figures, card figures) and the requests that
// check credentials: leave for a protected action and settlement by card.
#include "requests.h"

#include "common/commandpath.h"

#include "accounts/cards.h"
#include "accounts/guessthrottle.h"
#include "accounts/operators.h"
#include "accounts/rights.h"
#include "audit/trail.h"
#include "billing/machinelist.h"
#include "common/formats.h"
#include "common/numbers.h"
#include "connections.h"
#include "deskaccess.h"
#include "linklog.h"
#include "message.h"
#include "store/accounttables.h"
#include "store/goodstables.h"
#include "store/machinetable.h"

#include <cmath>

namespace {

// A plain failure is logged where it is checked; a throttled one is not evaluated there, so
// the card it was for is named here (never the password).
void logRefusedCard(const QString &address, const QString &number, cards::CardFailure failure)
{
    if (failure != cards::CardFailure::Throttled)
        return;
    if (const auto note = pcLine("card-throttled", address))
        qCWarning(lcLink).noquote()
            << "card check for" << number << "from" << address
            << "refused unevaluated: too many failed checks for it or from that address" << *note;
}

} // namespace

QByteArray RequestHandler::goodsListMessage(Database &db)
{
    const QList<Article> articles = ArticleTable(db).all();
    QStringList elements;
    elements.reserve(articles.size() * 3);
    for (const Article &a : articles)
        elements << a.number << a.name << plainNumber(a.price);
    return wire::listMessage(QStringLiteral("_gets"), {QStringLiteral("good")}, elements);
}

void RequestHandler::query(int slot, const QByteArray &message)
{
    const QStringList fields = wire::fixedFields(message, 4);
    const QString &word = fields.at(0);
    if (word == u"good")
        m_slots.send(slot, m_goodsList.get(m_desk.db()));
    else if (word == u"time")
        sessionFigures(slot);
    else if (word == u"card")
        cardFigures(slot, fields.at(1), fields.at(2));
}

void RequestHandler::sessionFigures(int slot)
{
    // The machine the client announced names the list entry at that position.
    const int position = m_slots.machineNumber(slot);
    const MachineList::Entry *entry = m_desk.machineList().at(position);
    if (!entry)
        return;
    const std::optional<Machine> machine = MachineTable(m_desk.db()).at(position);
    const qint64 pause = machine ? qint64(std::llround(std::max(0.0, machine->pauseMinutes))) : 0;
    const QString crlf = QStringLiteral("\r\n");
    reply(slot, QStringLiteral("您的上机情况是：") + crlf + QStringLiteral("开始时间：") +
                    entry->columns.at(1) + crlf + QStringLiteral("到点时间：") + entry->columns.at(2) + crlf +
                    QStringLiteral("已用时间：") + entry->columns.at(3) + crlf +
                    QStringLiteral("暂停时间：") + formatHoursMinutes(pause) + crlf +
                    QStringLiteral("金    额：") + entry->columns.at(5) + crlf +
                    QStringLiteral("其他费用：") + entry->columns.at(6) + crlf +
                    QStringLiteral("总 金 额：") + entry->columns.at(7));
}

void RequestHandler::cardFigures(int slot, const QString &number, const QString &password)
{
    const auto card =
        cards::verify(m_desk.db(), m_desk.throttle(), m_slots.peerAddress(slot), number, password);
    if (!card) {
        logRefusedCard(m_slots.peerAddress(slot), number, card.error());
        reply(slot, card.error() == cards::CardFailure::Throttled ? GuessThrottle::pcMessage()
                    : card.error() == cards::CardFailure::NoSuchCard
                        ? QStringLiteral("您所输入的卡号错误！")
                        : QStringLiteral("您所输入的密码错误！"));
        return;
    }
    const QString crlf = QStringLiteral("\r\n");
    reply(slot, QStringLiteral("你要查的卡号是：") + card->number + crlf + QStringLiteral("总金额为：") +
                    formatMoneyOneDecimal(card->total) + QStringLiteral("    总机时为：") +
                    formatHours(card->totalHours) + crlf + QStringLiteral("已用机时：") +
                    formatHours(card->usedHours) + crlf + QStringLiteral("剩余金额：") +
                    formatMoneyOneDecimal(card->balance));
}

void RequestHandler::validate(int slot, const QByteArray &message)
{
    const QStringList fields = wire::fixedFields(message, 3);
    const QString &word = fields.at(2);
    if (word == u"cardend") {
        settleWithCard(slot, fields.at(0), fields.at(1));
        return;
    }
    if (word != u"setup" && word != u"close" && word != u"shutdown")
        return;
    const auto op =
        verifyOperator(m_desk.db(), m_desk.throttle(), m_slots.peerAddress(slot), fields.at(0), fields.at(1));
    if (!op) {
        // A plain failure is logged where it is checked; a throttled one is not evaluated there.
        if (op.error() == CheckFailure::Throttled)
            if (const auto note = pcLine("operator-throttled", m_slots.peerAddress(slot)))
                qCWarning(lcLink).noquote()
                    << "operator check for" << fields.at(0) << "from" << m_slots.peerAddress(slot)
                    << "refused unevaluated: too many failed checks for it or from that address" << *note;
        reply(slot, op.error() == CheckFailure::Throttled
                        ? GuessThrottle::pcMessage()
                        : QStringLiteral("验证用户名或密码错误，不能完成指令！"));
        return;
    }
    // Leave to set up or close the client needs a manager; anyone may shut the PC down.
    const bool allowed =
        word == u"shutdown" ||
        rights::may(op->right, word == u"close" ? Command::ClientClose : Command::ClientSetup);
    if (!allowed) {
        reply(slot, QStringLiteral("验证用户名权限不够！"));
        return;
    }
    // Granted on the PC by the operator who typed the password there, not the one at the desk.
    const std::optional<Machine> machine = MachineTable(m_desk.db()).byIp(m_slots.peerAddress(slot));
    const QString details = QStringLiteral("%1 由%2").arg(word, op->name);
    const Result<> granted = m_desk.commands().run(
        {QStringLiteral("客户端授权"), machine ? machine->number : 0, [details] { return details; }},
        [&](Effects &effects) -> Result<> {
            effects.then([this, slot, word] { sendCommand(slot, word); });
            return {};
        });
    if (!granted)
        qCWarning(lcLink) << "client control" << word << "not granted:" << granted.error();
}

void RequestHandler::settleWithCard(int slot, const QString &number, const QString &password)
{
    if (refuseWhenLocked(slot))
        return;
    requestPass();
    const auto card =
        cards::verify(m_desk.db(), m_desk.throttle(), m_slots.peerAddress(slot), number, password);
    if (!card) {
        logRefusedCard(m_slots.peerAddress(slot), number, card.error());
        reply(slot, card.error() == cards::CardFailure::Throttled ? GuessThrottle::pcMessage()
                    : card.error() == cards::CardFailure::NoSuchCard
                        ? QStringLiteral("您所输入的卡号错误，不能结帐！")
                        : QStringLiteral("您所输入的密码错误，不能结帐！"));
        return;
    }
    const std::optional<Machine> machine = requestingMachine(slot);
    if (!machine)
        return;
    Question q;
    q.text = machine->name + QStringLiteral("要求用卡号为：") + number +
             QStringLiteral("的储金卡结帐，是否同意！");
    q.buttons = Question::Buttons::YesNo;
    q.seconds = 0; // the operator decides in his own time
    const Requester who = requester(slot);
    const qint64 rowid = machine->rowid;
    ask(
        who, rowid, q,
        [this, who, rowid, number, password](Answer answer) {
            settleAnswered(who, rowid, number, password, answer);
        },
        false);
}

void RequestHandler::settleAnswered(const Requester &who, qint64 rowid, const QString &number,
                                    const QString &password, Answer answer)
{
    if (!answerStillWanted(who, answer, "card settlement"))
        return;
    if (answer != Answer::Yes) {
        recordRefusal(QStringLiteral("拒绝储金卡结帐"), rowid, QStringLiteral("储金卡：") + number);
        reply(who.slot, QStringLiteral("主机拒绝用此卡结帐！"));
        return;
    }
    const std::optional<Machine> m = machineStillOf(who, rowid, "card settlement");
    if (!m)
        return;
    // The operator completes the settlement in checkout, where the card is taken.
    const Result<> approved = m_desk.commands().run(
        {QStringLiteral("同意储金卡结帐"), m->number, [number] { return QStringLiteral("储金卡：") + number; }},
        [&](Effects &effects) -> Result<> {
            effects.then([this, position = m->position, number, password] {
                emit cardCheckoutApproved(position, number, password);
            });
            return {};
        });
    if (!approved)
        qCWarning(lcLink) << "card settlement of machine" << m->number << "not approved:" << approved.error();
}
