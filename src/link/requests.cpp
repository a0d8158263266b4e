#include "requests.h"

#include "common/commandpath.h"

#include "audit/trail.h"
#include "billing/machinelist.h"
#include "chat.h"
#include "common/clock.h"
#include "common/cp936.h"
#include "common/numbers.h"
#include "connections.h"
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

// The announced machine number: the leading number of the field, rounded half to even.
int machineNumberOf(const QString &field)
{
    const double v = roundEven(numberValue(field));
    if (v >= double(INT_MAX) || v <= double(INT_MIN))
        return 0; // no machine has such a number
    return int(v);
}

} // namespace

Result<> bookGoodsOrder(Database &db, int machine, const QList<request::GoodsItem> &items,
                        const QDateTime &when)
{
    QList<OrderItem> ordered;
    for (const request::GoodsItem &item : items)
        ordered.append({item.article, double(item.quantity)});
    if (!recordOrders(db, machine, ordered, when))
        return failure(db.lastError());
    return {};
}

RequestHandler::RequestHandler(DeskAccess &desk, ConnectionSlots &connections, ChatRelay &chat,
                               WebLists &lists, QObject *parent)
    : QObject(parent), m_desk(desk), m_slots(connections), m_chat(chat), m_lists(lists),
      m_goodsList(&RequestHandler::goodsListMessage), m_pending(desk.db(), connections)
{
    m_passTimer.setSingleShot(true);
    connect(&m_passTimer, &QTimer::timeout, this, [this] {
        flushPending();
        noticeGoneClients();
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
    switch (request::kindOf(message)) {
    case request::Kind::Chat:
        m_chat.XianShiTalk(message, slot);
        break;
    case request::Kind::OpenMachine:
        openMachine(slot, message);
        break;
    case request::Kind::GoodsOrder:
        orderGoods(slot, message);
        break;
    case request::Kind::Query:
        query(slot, message);
        break;
    case request::Kind::Validate:
        validate(slot, message);
        break;
    case request::Kind::Announce:
        announce(slot, message);
        break;
    case request::Kind::ProgramList:
        emit programListArrived(slot, wire::allFields(message));
        break;
    case request::Kind::Ignored:
        break;
    }
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
        if (const auto note = pcLine("no-longer-its-machine", who.address))
            qCWarning(lcLink).noquote()
                << what << "answered for a machine that is no longer the client's:" << who.address << *note;
        return std::nullopt;
    }
    return m;
}

bool RequestHandler::answerStillWanted(const Requester &who, Answer answer, const char *what) const
{
    if (stillThere(who))
        return true;
    if (answer == Answer::Yes)
        qCWarning(lcLink) << what << "of" << who.address << "approved after its client left; nothing done";
    return false;
}

void RequestHandler::ask(const Requester &who, qint64 rowid, const Question &question,
                         std::function<void(Answer)> answered, bool refusable)
{
    // A client cannot pile up questions for the operator (or the memory to hold them).
    Waiting &waiting = m_waiting[rowid];
    if (waiting.questions >= kMaxWaitingQuestions) {
        const auto note = waiting.dropped ? std::nullopt : pcLine("questions-waiting", who.address);
        if (note) // once per full queue is enough to tell what happens
            qCWarning(lcLink).noquote()
                << "machine" << rowid << "has" << waiting.questions
                << "questions waiting for the operator; further requests dropped" << *note;
        waiting.dropped = true;
        return;
    }
    // Nor can all clients together bury the operator: what could not be shown in time anyway
    // is refused now, as its time-out would.
    if (refusable && m_desk.questions().waiting() >= kMaxQueued) {
        if (waiting.questions == 0)
            m_waiting.remove(rowid);
        turnAway();
        return;
    }
    ++waiting.questions;
    const quint64 id = m_nextId++;
    m_open.insert(id, {0, rowid, who.serial});
    m_openBySerial[who.serial].append(id);
    // The desk outlives the link: an answer after the link is gone goes nowhere.
    QPointer<RequestHandler> self(this);
    const QuestionQueue::Ticket ticket =
        m_desk.questions().ask(question, [self, id, answered = std::move(answered)](Answer answer) {
            if (!self)
                return;
            self->release(id);
            answered(answer);
        });
    // Still open unless it was answered at once.
    if (const auto it = m_open.find(id); it != m_open.end())
        it->ticket = ticket;
}

void RequestHandler::release(quint64 id)
{
    const auto it = m_open.find(id);
    if (it == m_open.end())
        return;
    const Open open = *it;
    m_open.erase(it);
    if (const auto mine = m_openBySerial.find(open.serial); mine != m_openBySerial.end()) {
        mine->removeOne(id);
        if (mine->isEmpty())
            m_openBySerial.erase(mine);
    }
    const auto w = m_waiting.find(open.rowid);
    if (w == m_waiting.end())
        return;
    if (--w->questions <= 0)
        m_waiting.erase(w);
    else
        w->dropped = false;
}

void RequestHandler::turnAway()
{
    ++m_turnedAway;
    const QDateTime now = Clock::now();
    if (m_turnedAwayLogged.isValid() && m_turnedAwayLogged.secsTo(now) < 60)
        return;
    qCWarning(lcLink) << m_turnedAway
                      << "open-machine requests and goods orders refused at once:" << kMaxQueued
                      << "questions were waiting for the operator";
    m_turnedAway = 0;
    m_turnedAwayLogged = now;
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
    // Also for a machine in session: its PC may have been paused by the operator, and only the
    // operator lifts that (the session is kept, see openMachineAnswered).
    Question q;
    q.text = machine->name + QStringLiteral("要求开机，是否同意？");
    q.buttons = Question::Buttons::YesNo;
    q.seconds = 15;
    const Requester who = requester(slot);
    const qint64 rowid = machine->rowid;
    ask(
        who, rowid, q, [this, who, rowid](Answer answer) { openMachineAnswered(who, rowid, answer); }, true);
}

void RequestHandler::recordRefusal(const QString &kind, qint64 rowid, const QString &details)
{
    const std::optional<Machine> m = MachineTable(m_desk.db()).byRowid(rowid);
    if (!m)
        return;
    const Result<> recorded = m_desk.commands().run({kind, m->number, [details] { return details; }},
                                                    [](Effects &) -> Result<> { return {}; });
    if (!recorded)
        qCWarning(lcLink) << kind << "of machine" << m->number << "not recorded:" << recorded.error();
}

void RequestHandler::openMachineAnswered(const Requester &who, qint64 rowid, Answer answer)
{
    if (!answerStillWanted(who, answer, "open-machine request"))
        return;
    if (answer != Answer::Yes) {
        recordRefusal(QStringLiteral("拒绝开机"), rowid, who.address);
        return;
    }
    std::optional<Machine> m = machineStillOf(who, rowid, "open-machine request");
    if (!m)
        return;
    // Paused at the PC, or started meanwhile (from the desk, at another counter): that session
    // goes on. Otherwise a session with no customer, billed by time; the machine's other fields
    // stay as stored. The PC is unlocked only once either is stored.
    bool running = m->inSession();
    MachineTable::Start session;
    session.start = Clock::now();
    session.mode = QStringLiteral("N");
    Database &db = m_desk.db();
    const Result<> agreed = m_desk.commands().run(
        {QStringLiteral("同意开机"), m->number,
         [&] { return running ? who.address + QStringLiteral(" 继续本次记费") : who.address; }},
        [&](Effects &effects) -> Result<> {
            if (!running) {
                bool idle = false;
                if (!MachineTable(db).startSessionIfIdle(m->rowid, session, &idle))
                    return failure(db.lastError());
                running = !idle;
            }
            effects.then([this, slot = who.slot] { sendCommand(slot, QStringLiteral("start")); });
            return {};
        });
    if (!agreed)
        qCWarning(lcLink) << "could not start machine" << m->number << agreed.error();
    requestPass();
}

void RequestHandler::orderGoods(int slot, const QByteArray &message)
{
    if (refuseWhenLocked(slot))
        return;
    const request::GoodsOrder order = request::goodsOrderOf(message);
    const QString from = m_slots.peerAddress(slot);
    if (order.tooLong()) {
        if (const auto note = pcLine("goods-too-long", from))
            qCWarning(lcLink).noquote() << "goods order of" << order.received << "items from" << from
                                        << "refused; at most" << request::GoodsOrder::kMaxItems << *note;
        return;
    }
    const std::optional<Machine> machine = requestingMachine(slot);
    if (!machine) {
        requestPass();
        return;
    }
    // Goods go on the running session's bill: without one they would go on the next customer's.
    if (!machine->inSession()) {
        reply(slot, QStringLiteral("本机还没有开始记费，不能选购商品！"));
        return;
    }
    // The customer meant something else than what could be booked: nothing of it is.
    if (!order.leftOut.isEmpty()) {
        if (const auto note = pcLine("goods-quantity", from))
            qCWarning(lcLink).noquote()
                << "goods order from" << from << "refused, a quantity is not a whole number from 1 to"
                << request::GoodsOrder::kMaxQuantity << ":" << order.leftOut.first() << *note;
        reply(slot, QStringLiteral("商品数量只能是1到999的整数！"));
        return;
    }
    // An order without a single item has nothing to agree to.
    if (order.items.isEmpty())
        return;
    const QList<request::GoodsLine> lines = orderLines(order.items);
    Question q;
    q.text =
        machine->name + QStringLiteral("要求选择下列商品，是否同意？\r\n") + request::goodsOrderList(lines);
    q.buttons = Question::Buttons::YesNo;
    q.title = QStringLiteral("有人要商品");
    q.seconds = 90;
    const Requester who = requester(slot);
    const qint64 rowid = machine->rowid;
    ask(
        who, rowid, q, [this, who, rowid, lines](Answer answer) { goodsAnswered(who, rowid, lines, answer); },
        true);
}

QList<request::GoodsLine> RequestHandler::orderLines(const QList<request::GoodsItem> &items)
{
    ArticleTable catalogue(m_desk.db());
    QHash<QString, std::optional<Article>> known;
    QList<request::GoodsLine> lines;
    lines.reserve(items.size());
    for (const request::GoodsItem &item : items) {
        auto found = known.find(item.article);
        if (found == known.end())
            found = known.insert(item.article, catalogue.byNumber(item.article));
        request::GoodsLine line{item.article, QString(), item.name, item.quantity, 0};
        if (std::optional<Article> &article = *found) {
            // An article ordered twice in one order: the second line shows what the first leaves.
            article->stock -= item.quantity;
            line.name = article->name;
            line.stockLeft = article->stock;
        }
        lines.append(line);
    }
    return lines;
}

void RequestHandler::goodsAnswered(const Requester &who, qint64 rowid, const QList<request::GoodsLine> &lines,
                                   Answer answer)
{
    if (!answerStillWanted(who, answer, "goods order"))
        return;
    // Recorded as the operator saw it: the catalogue's names.
    QStringList ordered;
    QList<request::GoodsItem> items;
    for (const request::GoodsLine &line : lines) {
        ordered << QStringLiteral("%1×%2").arg(line.shownName()).arg(line.quantity);
        items.append({line.article, line.sentName, line.quantity});
    }
    if (answer != Answer::Yes) {
        recordRefusal(QStringLiteral("拒绝选购商品"), rowid, ordered.join(QStringLiteral("，")));
        return;
    }
    const std::optional<Machine> m = machineStillOf(who, rowid, "goods order");
    if (!m)
        return;
    // Settled while the question waited: the goods would go on the next customer's bill.
    if (!m->inSession()) {
        reply(who.slot, QStringLiteral("本机还没有开始记费，不能选购商品！"));
        return;
    }
    // Stock and order lines are read now, after the answer, so changes made meanwhile count.
    if (const Result<> booked =
            m_desk.commands().run({QStringLiteral("同意选购商品"), m->number, [&] { return ordered.join(QStringLiteral("，")); }},
                                  [&](Effects &) { return bookGoodsOrder(m_desk.db(), m->number, items, Clock::now()); });
        !booked) {
        qCWarning(lcLink) << "could not record the goods of machine" << m->number << booked.error();
        return;
    }
    reply(who.slot, QStringLiteral("请您稍候，马上把你要的商品送到！"));
    requestPass();
}

bool RequestHandler::claimedElsewhere(const Machine &m, const QString &address) const
{
    const QString pending = m_pending.announcedAddress(m.rowid);
    const QString recorded = pending.isEmpty() ? m.ip : pending;
    return !recorded.isEmpty() && recorded != address && m_slots.firstSlotOf(recorded) >= 0;
}

void RequestHandler::clientBack(const Machine &m)
{
    bool wasGone = false;
    for (auto it = m_gone.begin(); it != m_gone.end();) {
        wasGone = it->removeAll(m.rowid) > 0 || wasGone;
        it = it->isEmpty() ? m_gone.erase(it) : std::next(it);
    }
    if (wasGone) {
        qCInfo(lcLink) << "the client of machine" << m.number << m.name << "is back";
        emit clientGone(m.position, false);
    }
}

void RequestHandler::announce(int slot, const QByteArray &message)
{
    const int number = machineNumberOf(wire::singleField(message));
    const QString address = m_slots.recordedAddress(slot);
    const std::optional<Machine> m = MachineTable(m_desk.db()).byNumber(number);
    // While the machine's own PC is connected, another PC cannot take its number: it would be
    // started for free and order on the other's bill.
    if (m && claimedElsewhere(*m, address)) {
        if (const auto note = pcLine("claimed", address))
            qCWarning(lcLink).noquote()
                << "the PC at" << address << "announced itself as machine" << m->number
                << "of the connected PC at"
                << (m_pending.announcedAddress(m->rowid).isEmpty() ? m->ip
                                                                   : m_pending.announcedAddress(m->rowid))
                << "; not bound" << *note;
        emit notice(QStringLiteral("%1号机被另一台计算机（%2）声明").arg(m->number).arg(address));
        return;
    }
    m_slots.setMachineNumber(slot, number);

    // The PC is back: the sessions it left are no longer without a client.
    if (const auto gone = m_gone.constFind(address); gone != m_gone.cend()) {
        const QList<qint64> rowids = *gone;
        m_gone.erase(gone);
        MachineTable machines(m_desk.db());
        for (const qint64 rowid : rowids) {
            if (const std::optional<Machine> back = machines.byRowid(rowid)) {
                qCInfo(lcLink) << "the client of machine" << back->number << back->name << "at" << address
                               << "is back";
                emit clientGone(back->position, false);
            }
        }
    }

    if (m) {
        // Whatever address it comes from now.
        clientBack(*m);
        if (m->status == MachineStatus::Billing)
            sendCommand(slot, QStringLiteral("start"));
        else if (m->status == MachineStatus::Paused)
            sendCommand(slot, QStringLiteral("pause"));
        // Written (the IP, and off turned standby) with the other announcements.
        m_pending.announced(m->rowid, address);
        requestPass();
    }

    // The lists follow a second later; many announcements wait side by side, and a PC that
    // announces itself again meanwhile gets them once.
    const Requester who = requester(slot);
    if (m_listsDue.contains(who.serial))
        return;
    m_listsDue.insert(who.serial);
    QTimer::singleShot(1000, this, [this, who] {
        m_listsDue.remove(who.serial);
        if (!stillThere(who))
            return;
        m_lists.SetHickHttp(who.slot);
        m_lists.SetQuickHttp(who.slot);
    });
}

void RequestHandler::connectionClosed(int /*slot*/, const QString &address, quint64 serial)
{
    // Its questions go with it: nobody is there to hear the answer.
    for (const quint64 id : m_openBySerial.take(serial)) {
        const auto it = m_open.constFind(id);
        if (it == m_open.cend())
            continue;
        if (it->ticket != 0)
            m_desk.questions().withdraw(it->ticket);
        release(id);
    }
    if (address.isEmpty())
        return;
    // Written with the announcements.
    m_pending.closed(address);
    m_closedSincePass.insert(address);
    requestPass();
}

void RequestHandler::noticeGoneClients()
{
    if (m_closedSincePass.isEmpty())
        return;
    QSet<QString> closed;
    closed.swap(m_closedSincePass);
    // A session keeps billing without its client; the operator should see that it has none.
    for (const Machine &m : MachineTable(m_desk.db()).all()) {
        if (!m.inSession() || !closed.contains(m.ip) || m_slots.firstSlotOf(m.ip) >= 0)
            continue;
        QList<qint64> &gone = m_gone[m.ip];
        if (gone.contains(m.rowid))
            continue;
        gone.append(m.rowid);
        qCWarning(lcLink) << "machine" << m.number << m.name << "is in session and its client at" << m.ip
                          << "has gone";
        emit clientGone(m.position, true);
    }
}

void RequestHandler::storeReplaced()
{
    m_goodsList.forget();
    m_lists.forget();
    m_gone.clear();
    m_closedSincePass.clear();
    MachineTable machines(m_desk.db());
    for (int slot = 0; slot < m_slots.count(); ++slot) {
        if (!m_slots.isConnected(slot))
            continue;
        if (const std::optional<Machine> m = machines.byNumber(m_slots.machineNumber(slot)))
            m_pending.announced(m->rowid, m_slots.recordedAddress(slot));
    }
    requestPass();
}
