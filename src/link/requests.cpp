#include "requests.h"

#include "chat.h"
#include "common/clock.h"
#include "common/cp936.h"
#include "common/numbers.h"
#include "connections.h"
#include "billing/machinelist.h"
#include "deskaccess.h"
#include "goods/orders.h"
#include "linklog.h"
#include "message.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "weblists.h"

#include <QPointer>
#include <QTimer>
#include <climits>

namespace {

constexpr int kGoodsNameWidth = 50;

// The announced machine number: the leading number of the field, rounded half to even.
int machineNumberOf(const QString &field)
{
    const double v = roundEven(numberValue(field));
    if (v >= double(INT_MAX) || v <= double(INT_MIN))
        return 0; // no machine has such a number
    return int(v);
}

} // namespace

QString goodsOrderList(const QStringList &names, const QStringList &quantities)
{
    QString list;
    for (int i = 0; i < names.size(); ++i) {
        const int bytes = cp936::byteLength(names.at(i));
        const int blanks = bytes < kGoodsNameWidth ? kGoodsNameWidth - bytes : 1;
        list += names.at(i) + QString(blanks, u' ') + QStringLiteral("数量：") + quantities.value(i) +
                QStringLiteral("\r\n");
    }
    return list;
}

RequestHandler::RequestHandler(DeskAccess &desk, ConnectionSlots &connections, ChatRelay &chat,
                               WebLists &lists, QObject *parent)
    : QObject(parent), m_desk(desk), m_slots(connections), m_chat(chat), m_lists(lists),
      m_goodsList(&RequestHandler::goodsListMessage), m_pending(desk.db(), connections)
{
    m_passTimer.setSingleShot(true);
    connect(&m_passTimer, &QTimer::timeout, this, [this] {
        flushPending();
        m_desk.refresh();
        m_lastPass.start();
    });
}

RequestHandler::~RequestHandler()
{
    flushPending();
}

void RequestHandler::dispatch(int slot, const QByteArray &message)
{
    const QByteArray tag = wire::tagOf(message);
    if (tag == "_talk")
        m_chat.XianShiTalk(message, slot);
    else if (tag == "_comm")
        openMachine(slot, message);
    else if (tag == "_good")
        orderGoods(slot, message);
    else if (tag == "_gets")
        query(slot, message);
    else if (tag == "_vali")
        validate(slot, message);
    else if (tag == "_sele")
        announce(slot, message);
    else if (tag == "_prog")
        emit programListArrived(slot, wire::allFields(message));
    // "_ereg", "_sets" and anything else: nothing.
}

void RequestHandler::requestPass()
{
    if (m_passTimer.isActive())
        return;
    const qint64 since = m_lastPass.isValid() ? m_lastPass.elapsed() : kPassInterval;
    m_passTimer.start(int(qMax<qint64>(0, kPassInterval - since)));
}

RequestHandler::Requester RequestHandler::requester(int slot) const
{
    return {slot, m_slots.serial(slot), m_slots.peerAddress(slot)};
}

bool RequestHandler::stillThere(const Requester &who) const
{
    return m_slots.isSame(who.slot, who.serial);
}

bool RequestHandler::refuseWhenLocked(int slot)
{
    if (!m_desk.isLocked())
        return false;
    reply(slot, QStringLiteral("主机已被锁定，请稍后再试！"));
    return true;
}

std::optional<Machine> RequestHandler::requestingMachine(int slot)
{
    flushPending(); // the machine may have been announced a moment ago
    return MachineTable(m_desk.db()).byIp(m_slots.peerAddress(slot));
}

std::optional<Machine> RequestHandler::machineStillOf(const Requester &who, qint64 rowid, const char *what)
{
    flushPending();
    std::optional<Machine> m = MachineTable(m_desk.db()).byRowid(rowid);
    if (!m || m->ip != who.address) {
        qCWarning(lcLink) << what << "answered for a machine that is no longer the client's:" << who.address;
        return std::nullopt;
    }
    return m;
}

void RequestHandler::ask(qint64 rowid, const Question &question, std::function<void(Answer)> answered)
{
    // A client cannot pile up questions for the operator (or the memory to hold them).
    Waiting &waiting = m_waiting[rowid];
    if (waiting.questions >= kMaxWaitingQuestions) {
        if (!waiting.dropped) // once per full queue is enough to tell what happens
            qCWarning(lcLink) << "machine" << rowid << "has" << waiting.questions
                              << "questions waiting for the operator; further requests dropped";
        waiting.dropped = true;
        return;
    }
    ++waiting.questions;
    // The desk outlives the link: an answer after the link is gone goes nowhere.
    QPointer<RequestHandler> self(this);
    m_desk.questions().ask(question, [self, rowid, answered = std::move(answered)](Answer answer) {
        if (!self)
            return;
        if (--self->m_waiting[rowid].questions <= 0)
            self->m_waiting.remove(rowid);
        else
            self->m_waiting[rowid].dropped = false;
        answered(answer);
    });
}

void RequestHandler::reply(int slot, const QString &text)
{
    m_slots.send(slot, wire::messageBox(text));
}

void RequestHandler::sendCommand(int slot, const QString &word)
{
    m_slots.send(slot, wire::command(word));
}

void RequestHandler::openMachine(int slot, const QByteArray &message)
{
    if (wire::singleField(message) != u"start")
        return;
    if (refuseWhenLocked(slot))
        return;
    const std::optional<Machine> machine = requestingMachine(slot);
    if (!machine)
        return;
    // A session runs already: the client only needs to hear so again; nothing restarts it.
    if (machine->inSession()) {
        sendCommand(slot, QStringLiteral("start"));
        return;
    }
    Question q;
    q.text = machine->name + QStringLiteral("要求开机，是否同意？");
    q.buttons = Question::Buttons::YesNo;
    q.seconds = 15;
    const Requester who = requester(slot);
    const qint64 rowid = machine->rowid;
    ask(rowid, q, [this, who, rowid](Answer answer) { openMachineAnswered(who, rowid, answer); });
}

void RequestHandler::openMachineAnswered(const Requester &who, qint64 rowid, Answer answer)
{
    if (answer != Answer::Yes)
        return;
    std::optional<Machine> m = machineStillOf(who, rowid, "open-machine request");
    if (!m)
        return;
    const int target = stillThere(who) ? who.slot : m_slots.firstSlotOf(m->ip);
    sendCommand(target, QStringLiteral("start"));
    if (m->inSession())
        return; // started meanwhile from the desk: keep that session
    m->status = MachineStatus::Billing;
    m->start = Clock::now();
    m->customer.clear();
    m->idKind.clear();
    m->idNumber.clear();
    m->mode = QStringLiteral("N");
    if (!MachineTable(m_desk.db()).save(*m))
        qCWarning(lcLink) << "could not start machine" << m->number << m_desk.db().lastError();
    requestPass();
}

void RequestHandler::orderGoods(int slot, const QByteArray &message)
{
    if (refuseWhenLocked(slot))
        return;
    const QStringList fields = wire::allFields(message);
    QList<Item> items;
    QStringList names;
    QStringList quantities;
    for (qsizetype k = 0; k < fields.size(); k += 3) {
        items.append({fields.at(k), fields.value(k + 1), fields.value(k + 2)});
        names << fields.value(k + 1);
        quantities << fields.value(k + 2);
    }
    const std::optional<Machine> machine = requestingMachine(slot);
    if (!machine) {
        requestPass();
        return;
    }
    // An order without a single item has nothing to agree to.
    if (items.isEmpty())
        return;
    Question q;
    q.text = machine->name + QStringLiteral("要求选择下列商品，是否同意？\r\n") +
             goodsOrderList(names, quantities);
    q.buttons = Question::Buttons::YesNo;
    q.title = QStringLiteral("有人要商品");
    q.seconds = 90;
    const Requester who = requester(slot);
    const qint64 rowid = machine->rowid;
    ask(rowid, q, [this, who, rowid, items](Answer answer) { goodsAnswered(who, rowid, items, answer); });
}

void RequestHandler::goodsAnswered(const Requester &who, qint64 rowid, const QList<Item> &items,
                                   Answer answer)
{
    if (answer != Answer::Yes)
        return;
    const std::optional<Machine> m = machineStillOf(who, rowid, "goods order");
    if (!m)
        return;
    // Stock and order lines are read now, after the answer, so changes made meanwhile count.
    Database &db = m_desk.db();
    const QDateTime now = Clock::now();
    Transaction t(db);
    bool ok = true;
    for (const Item &item : items)
        ok = ok && recordOrder(db, m->number, item.article, numberValue(item.quantity), now);
    if (!ok || !t.commit()) {
        qCWarning(lcLink) << "could not record the goods of machine" << m->number << db.lastError();
        return;
    }
    if (stillThere(who))
        reply(who.slot, QStringLiteral("请您稍候，马上把你要的商品送到！"));
    requestPass();
}

void RequestHandler::announce(int slot, const QByteArray &message)
{
    const int number = machineNumberOf(wire::singleField(message));
    m_slots.setMachineNumber(slot, number);

    if (const std::optional<Machine> m = MachineTable(m_desk.db()).byNumber(number)) {
        if (m->status == MachineStatus::Billing)
            sendCommand(slot, QStringLiteral("start"));
        else if (m->status == MachineStatus::Paused)
            sendCommand(slot, QStringLiteral("pause"));
        // Written (the IP, and off turned standby) with the other announcements.
        m_pending.announced(m->rowid, m_slots.recordedAddress(slot));
        requestPass();
    }

    // The lists follow a second later; many announcements wait side by side.
    const Requester who = requester(slot);
    QTimer::singleShot(1000, this, [this, who] {
        if (!stillThere(who))
            return;
        m_lists.SetHickHttp(who.slot);
        m_lists.SetQuickHttp(who.slot);
    });
}

void RequestHandler::connectionClosed(int /*slot*/, const QString &address)
{
    if (address.isEmpty())
        return;
    // Written with the announcements.
    m_pending.closed(address);
    requestPass();
}
