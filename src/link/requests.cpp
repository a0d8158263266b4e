#include "requests.h"

#include "chat.h"
#include "common/clock.h"
#include "common/cp936.h"
#include "common/numbers.h"
#include "connections.h"
#include "desk/frontdesk.h"
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

RequestHandler::RequestHandler(FrontDesk &desk, ConnectionSlots &connections, ChatRelay &chat,
                               WebLists &lists, QObject *parent)
    : QObject(parent), m_desk(desk), m_slots(connections), m_chat(chat), m_lists(lists),
      m_goodsList(&RequestHandler::goodsListMessage)
{
    m_passTimer.setSingleShot(true);
    connect(&m_passTimer, &QTimer::timeout, this, [this] {
        flushPending();
        m_passTimer.stop(); // this pass shows what the flush wrote
        m_desk.refresh();
        m_lastPass.start();
    });
    m_writeTimer.setSingleShot(true);
    m_writeTimer.setInterval(kWriteWindow);
    connect(&m_writeTimer, &QTimer::timeout, this, &RequestHandler::flushPending);
}

RequestHandler::~RequestHandler()
{
    flushPending();
}

void RequestHandler::dispatch(int slot, const QByteArray &message)
{
    const QByteArray tag = wire::tagOf(message);
    // Requests that find their machine by address must see the announcements made so far.
    if (tag == "_comm" || tag == "_good" || tag == "_vali")
        flushPending();
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
        emit m_desk.programListArrived(slot, wire::allFields(message));
    // "_ereg", "_sets" and anything else: nothing.
}

void RequestHandler::requestPass()
{
    if (m_passTimer.isActive())
        return;
    const qint64 since = m_lastPass.isValid() ? m_lastPass.elapsed() : kPassInterval;
    m_passTimer.start(int(qMax<qint64>(0, kPassInterval - since)));
}

void RequestHandler::flushPending()
{
    m_writeTimer.stop();
    if (m_announced.isEmpty() && m_closedAddresses.isEmpty())
        return;
    Database &db = m_desk.db();
    Transaction t(db);
    bool ok = true;
    for (auto it = m_announced.cbegin(); it != m_announced.cend(); ++it) {
        // Only "N" becomes "S": a session started meanwhile stays as it is.
        auto s = db.cached(QStringLiteral(
            R"(UPDATE yxsjb SET "IP" = ?, "状态" = CASE WHEN "状态" = 'N' THEN 'S' ELSE "状态" END WHERE rowid = ?)"));
        ok = ok && s->bindAll({it.value(), it.key()}).run();
    }
    QList<int> switchedOff;
    for (const QString &address : std::as_const(m_closedAddresses)) {
        // Another connection from the same address (a reconnect) still serves its machines.
        if (!ok || m_slots.firstSlotOf(address) >= 0)
            continue;
        QList<std::pair<qint64, int>> standby; // rowid, list position
        {
            auto s = db.cached(QStringLiteral(
                R"(SELECT m.rowid, (SELECT count(*) FROM yxsjb p WHERE p.rowid <= m.rowid)
                   FROM yxsjb m WHERE m."IP" = ? AND m."状态" = 'S' ORDER BY m.rowid)"));
            s->bind(1, address);
            while (s->next())
                standby.append({s->integer(0), int(s->integer(1))});
        }
        for (const auto &[rowid, position] : standby) {
            auto u = db.cached(
                QStringLiteral(R"(UPDATE yxsjb SET "状态" = 'N' WHERE rowid = ? AND "状态" = 'S')"));
            ok = ok && u->bind(1, rowid).run();
            switchedOff.append(position);
        }
    }
    if (ok && t.commit()) {
        for (int position : std::as_const(switchedOff))
            m_desk.machineList().setIcon(position, IconOff);
    } else {
        qCWarning(lcLink) << "could not record" << m_announced.size() << "announcements and"
                          << m_closedAddresses.size() << "closed connections:" << db.lastError();
    }
    m_announced.clear();
    m_closedAddresses.clear();
    requestPass();
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
    return MachineTable(m_desk.db()).byIp(m_slots.peerAddress(slot));
}

void RequestHandler::ask(const Question &question, std::function<void(Answer)> answered)
{
    // The desk outlives the link: an answer after the link is gone goes nowhere.
    QPointer<RequestHandler> self(this);
    m_desk.questions().ask(question, [self, answered = std::move(answered)](Answer answer) {
        if (self)
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
    ask(q, [this, who, rowid](Answer answer) { openMachineAnswered(who, rowid, answer); });
}

void RequestHandler::openMachineAnswered(const Requester &who, qint64 rowid, Answer answer)
{
    if (answer != Answer::Yes)
        return;
    flushPending();
    MachineTable machines(m_desk.db());
    std::optional<Machine> m = machines.byRowid(rowid);
    // The machine may have been deleted, or taken over by another client, while the
    // operator decided.
    if (!m || m->ip != who.address) {
        qCWarning(lcLink) << "open-machine answer for a machine that is no longer the client's:"
                          << who.address;
        return;
    }
    const int target = stillThere(who) ? who.slot : m_slots.firstSlotOf(m->ip);
    sendCommand(target, QStringLiteral("start"));
    if (m->inSession())
        return; // started meanwhile from the desk: keep that session
    m->status = QStringLiteral("Y");
    m->start = Clock::now();
    m->customer.clear();
    m->idKind.clear();
    m->idNumber.clear();
    m->mode = QStringLiteral("N");
    if (!machines.save(*m))
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
    ask(q, [this, who, rowid, items](Answer answer) { goodsAnswered(who, rowid, items, answer); });
}

void RequestHandler::goodsAnswered(const Requester &who, qint64 rowid, const QList<Item> &items,
                                   Answer answer)
{
    if (answer != Answer::Yes)
        return;
    flushPending();
    Database &db = m_desk.db();
    const std::optional<Machine> m = MachineTable(db).byRowid(rowid);
    if (!m || m->ip != who.address) {
        qCWarning(lcLink) << "goods answer for a machine that is no longer the client's:" << who.address;
        return;
    }
    // Stock and order lines are read now, after the answer, so changes made meanwhile count.
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
        if (m->status == u"Y")
            sendCommand(slot, QStringLiteral("start"));
        else if (m->status == u"P")
            sendCommand(slot, QStringLiteral("pause"));
        const QString address = m_slots.recordedAddress(slot);
        const auto pending = m_announced.constFind(m->rowid);
        const QString storedIp = pending != m_announced.cend() ? *pending : m->ip;
        if (m->status == u"N" || storedIp != address) {
            m_announced.insert(m->rowid, address);
            if (!m_writeTimer.isActive())
                m_writeTimer.start();
            if (m->status == u"N")
                m_desk.machineList().setIcon(m->position, IconStandby);
        } else {
            requestPass();
        }
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
    m_closedAddresses.insert(address);
    if (!m_writeTimer.isActive())
        m_writeTimer.start();
}
