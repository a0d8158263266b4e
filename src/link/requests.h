#pragma once

#include "cachedmessage.h"
#include "clientrequest.h"
#include "common/questions.h"
#include "common/result.h"
#include "pendingwrites.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <optional>

class ChatRelay;
class ConnectionSlots;
class DeskAccess;
class WebLists;
class Database;
struct Machine;

// What the client programs ask of the front desk: the dispatcher and the handling of every
// request. Requests that need the operator's consent ask through the desk's question queue;
// the answer comes later, when the client may have gone and the machine may have changed, so
// every answer looks its machine and its connection up again before it acts.
class RequestHandler final : public QObject
{
    Q_OBJECT

public:
    RequestHandler(DeskAccess &desk, ConnectionSlots &connections, ChatRelay &chat, WebLists &lists,
                   QObject *parent = nullptr);
    ~RequestHandler() override;

    void dispatch(int slot, const QByteArray &message);
    // The connection on `slot` (peer `address`, named `serial`) has gone: its standby machines
    // go off, and the questions it asked are withdrawn.
    void connectionClosed(int slot, const QString &address, quint64 serial);

    // One supervision pass soon: at the next turn of the event loop, but no sooner than
    // kPassInterval after the last one. Requests handled meanwhile share it: a pass refreshes
    // everything, so one after the last of them shows what each of them changed.
    void requestPass();
    static constexpr int kPassInterval = 100; // ms

    // Writes what announcements and closed connections changed and is not written yet. The
    // link does so before its own reads and before each pass it asks for; the desk does so
    // before anything else reads the machine table.
    void flushPending() { m_pending.flush(); }

    // A client may have at most this many questions waiting for the operator per machine;
    // further requests are dropped until one is answered.
    static constexpr int kMaxWaitingQuestions = 3;
    // With this many questions waiting to be shown, further open-machine requests and goods
    // orders are refused at once, as if their time had run out.
    static constexpr int kMaxQueued = 20;

    // Questions asked for clients and not answered or withdrawn yet.
    int openQuestions() const { return int(m_open.size()); }

    // The goods list reply ("_gets" "good"): every article's number, name and retail price.
    static QByteArray goodsListMessage(Database &db);

    // The store was replaced by another file: replies built from the old one go, and every PC
    // still connected is matched again to its machine by the number it announced.
    void storeReplaced();

    // Whether the machines at `ip` lost their client while in session and no PC of that
    // address has announced itself since.
    bool isClientGone(const QString &ip) const { return m_gone.contains(ip); }

signals:
    // The last connection of the billing or paused machine at `position` has gone (`gone`), or
    // a PC at its address announced itself again (not `gone`).
    void clientGone(int position, bool gone);
    // The operator agreed that the client of the machine at `position` settles with a card:
    // checkout of that machine opens with the card filled in.
    void cardCheckoutApproved(int position, const QString &card, const QString &password);
    // A client sent the list of its running programs: (title, number) pairs.
    void programListArrived(int slot, const QStringList &titlesAndNumbers);
    // Something the operator should see in the status bar.
    void notice(const QString &text);

private:
    // Who asked: the slot, its connection and the peer address at the time of the request.
    struct Requester
    {
        int slot = -1;
        quint64 serial = 0;
        QString address;
    };

    void openMachine(int slot, const QByteArray &message);
    void openMachineAnswered(const Requester &who, qint64 machine, Answer answer);
    void orderGoods(int slot, const QByteArray &message);
    void goodsAnswered(const Requester &who, qint64 machine, const QList<request::GoodsLine> &lines,
                       Answer answer);
    // The order's items as the catalogue knows them now.
    QList<request::GoodsLine> orderLines(const QList<request::GoodsItem> &items);
    // Whether machine `m` is taken by the live connection of another address than `address`.
    bool claimedElsewhere(const Machine &m, const QString &address) const;
    // A PC announced machine `m`: its marker of a client gone goes, whatever address it had.
    void clientBack(const Machine &m);
    void announce(int slot, const QByteArray &message);
    void query(int slot, const QByteArray &message);
    void sessionFigures(int slot);
    void cardFigures(int slot, const QString &number, const QString &password);
    void validate(int slot, const QByteArray &message);
    void settleWithCard(int slot, const QString &number, const QString &password);
    void settleAnswered(const Requester &who, qint64 machine, const QString &number, const QString &password,
                        Answer answer);

    Requester requester(int slot) const;
    bool stillThere(const Requester &who) const;
    // An answer for a client whose connection has gone changes nothing: false (logged) then.
    bool answerStillWanted(const Requester &who, Answer answer, const char *what) const;
    // The operator's refusal of a request about machine row `rowid`, into the trail.
    void recordRefusal(const QString &kind, qint64 rowid, const QString &details);
    // Replies "主机已被锁定，请稍后再试！" and returns true while the desktop is locked.
    bool refuseWhenLocked(int slot);
    // The first machine whose IP is the live peer address of the slot.
    std::optional<Machine> requestingMachine(int slot);
    // The machine `rowid` when it still belongs to the client that asked: the operator's
    // answer comes later, when the machine may have been deleted or taken by another PC.
    std::optional<Machine> machineStillOf(const Requester &who, qint64 rowid, const char *what);
    // Asks the operator about machine `rowid` for the client `who`; the question is withdrawn
    // when that connection closes. Nothing is asked when that machine has kMaxWaitingQuestions
    // waiting already, nor, for a `refusable` request, when kMaxQueued questions wait.
    void ask(const Requester &who, qint64 rowid, const Question &question,
             std::function<void(Answer)> answered, bool refusable);
    void release(quint64 id);
    // The addresses closed since the last pass: which of them left a session without a client.
    void noticeGoneClients();
    void turnAway();
    void reply(int slot, const QString &text);
    void sendCommand(int slot, const QString &word);

    DeskAccess &m_desk;
    ConnectionSlots &m_slots;
    ChatRelay &m_chat;
    WebLists &m_lists;
    CachedMessage m_goodsList;
    QTimer m_passTimer;
    QElapsedTimer m_lastPass;
    PendingWrites m_pending;
    struct Waiting
    {
        int questions = 0;    // asked and not answered yet
        bool dropped = false; // a request was dropped since the last answer (logged once)
    };
    QHash<qint64, Waiting> m_waiting; // by machine rowid
    // The questions asked for clients, by an id of this handler's, and by the connection.
    struct Open
    {
        quint64 ticket = 0; // the queue's; 0 until ask() returned
        qint64 rowid = 0;
        quint64 serial = 0;
    };
    QHash<quint64, Open> m_open;
    QHash<quint64, QList<quint64>> m_openBySerial;
    quint64 m_nextId = 1;
    QSet<QString> m_closedSincePass;
    QHash<QString, QList<qint64>> m_gone; // address -> rowids of the machines it left in session
    QSet<quint64> m_listsDue;             // connections whose lists are to follow their announcement
    int m_turnedAway = 0;                 // since the last log line
    QDateTime m_turnedAwayLogged;
};

// An approved goods order of machine number `machine`: every item's order line and stock, all
// written or none.
Result<> bookGoodsOrder(Database &db, int machine, const QList<request::GoodsItem> &items,
                        const QDateTime &when);
