#pragma once

#include "common/result.h"
#include "store/database.h"
#include "store/serverlink.h"

#include <QObject>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

// Watches a store on a database server: what other counters commit there, and the connection.
// Commits close together (a checkout writes several tables) are told as one change. An idle
// connection is asked every 3 s whether the server still answers, so that a dead link shows
// within seconds and not at the desk's next command; every command is bounded by the store
// itself. A lost connection is told at once and tried again every 5 s, each attempt bounded,
// without blocking the desk. On the file there is nothing to watch and nothing is ever told.
// It alone holds the store's server link: what the counters post and what became of a commit
// the loss cut off go through it.
class ServerWatch final : public QObject
{
    Q_OBJECT

public:
    explicit ServerWatch(Database &db, QObject *parent = nullptr);
    ~ServerWatch() override;

    // Watches the connection as it is now: after the store was opened or opened again.
    void start();
    bool lost() const { return m_lost; }

    static QString lostText();

    // A message for the other counters on the schema, sent when the transaction commits (at
    // once outside one, never when it rolls back). Fails on the file, which has no other counter.
    Result<> post(const QString &message);
    // Whether the connection was lost while the last commit was under way, and once connected
    // again, what became of it (NotYetKnown while the server cannot tell yet, and on the file).
    bool commitInDoubt() const;
    CommitFate commitFate();

signals:
    // Tables other counters changed.
    void changed(const QSet<QString> &tables);
    // Messages other counters posted to this one's schema, in order.
    void messagesArrived(const QStringList &messages);
    // The connection was lost (and is being tried again), or is back; while lost the signal
    // comes again after each failed attempt, so the notice stays in sight.
    void lostChanged(bool lost);

private:
    // May run in the middle of any command of the store: only takes note.
    void noticed();
    void read();
    void apply();
    void retry();
    void probe();
    void follow(ReconnectStep step);
    // Stops watching the socket; safe from the notifier's own signal.
    void drop();
    // The store's link as it is now (null on the file): opening the store again replaces it.
    ServerLink *link() const { return m_db.serverLink(); }

    Database &m_db;
    std::unique_ptr<QSocketNotifier> m_socket;
    QTimer m_gather;  // gathers what arrives close together
    QTimer m_retry;
    QTimer m_attempt; // bounds one attempt: a silent network would hold it forever
    QTimer m_probe;
    QSet<QString> m_tables;
    bool m_lost = false;
};
