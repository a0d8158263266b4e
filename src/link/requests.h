#pragma once

#include "cachedmessage.h"
#include "common/questions.h"
#include "pendingwrites.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

class ChatRelay;
class ConnectionSlots;
class DeskAccess;
class WebLists;
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
    // The connection on `slot` (peer `address`) has gone: its standby machines go off.
    void connectionClosed(int slot, const QString &address);

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

    // The goods list reply ("_gets" "good"): every article's number, name and retail price.
    static QByteArray goodsListMessage(Database &db);

signals:
    // The operator agreed that the client of the machine at `position` settles with a card:
    // checkout of that machine opens with the card filled in.
    void cardCheckoutApproved(int position, const QString &card, const QString &password);
    // A client sent the list of its running programs: (title, number) pairs.
    void programListArrived(int slot, const QStringList &titlesAndNumbers);

private:
    struct Item
    {
        QString article;
        QString name;
        QString quantity; // as the client sent it
    };

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
    void goodsAnswered(const Requester &who, qint64 machine, const QList<Item> &items, Answer answer);
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
    // Replies "主机已被锁定，请稍后再试！" and returns true while the desktop is locked.
    bool refuseWhenLocked(int slot);
    // The first machine whose IP is the live peer address of the slot.
    std::optional<Machine> requestingMachine(int slot);
    // The machine `rowid` when it still belongs to the client that asked: the operator's
    // answer comes later, when the machine may have been deleted or taken by another PC.
    std::optional<Machine> machineStillOf(const Requester &who, qint64 rowid, const char *what);
    // Asks the operator about machine `rowid`; nothing is asked when that machine has
    // kMaxWaitingQuestions waiting already.
    void ask(qint64 rowid, const Question &question, std::function<void(Answer)> answered);
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
};

// The text of a goods order for the operator: per item its name padded with blanks to 50
// bytes in code page 936 (one blank when the name is that long already), "数量：", the
// quantity as sent, CR LF.
QString goodsOrderList(const QStringList &names, const QStringList &quantities);
