#pragma once

#include "store/database.h"

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

    Database &m_db;
    std::unique_ptr<QSocketNotifier> m_socket;
    QTimer m_gather;  // gathers what arrives close together
    QTimer m_retry;
    QTimer m_attempt; // bounds one attempt: a silent network would hold it forever
    QTimer m_probe;
    QSet<QString> m_tables;
    bool m_lost = false;
};
