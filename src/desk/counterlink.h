#pragma once

#include "common/result.h"
#include "link/clientlink.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

class Database;
class LinkServer;
class ServerWatch;

// The link to the café's PCs of one counter among several on a database server, each counter
// with the PCs that connect to it. A PC held by another counter is reached through the server:
// the bytes travel as a message posted with the sending transaction, and the counter holding
// the PC sends them on unchanged. A PC counts as connected while any live counter holds it;
// questions about a PC are asked by the counter holding it, else by the live counter with the
// lowest name.
class CounterLink final : public QObject, public ClientLink
{
    Q_OBJECT

public:
    // Claims the connection's counter name; fails when a live counter runs under it already.
    static Result<QString> claim(Database &db);

    // Messages for PCs held elsewhere are posted through `watch`.
    CounterLink(Database &db, ServerWatch &watch, const QString &name, LinkServer &server,
                QObject *parent = nullptr);

    QString name() const { return m_name; }
    // After the connection to the server was made anew, which loses the claim: claims the name
    // again and records the PCs connected here, and tells how it went with reclaimed(). While
    // the server has not yet ended the old session that holds the name, tries again every 2 s.
    // For a grace period every PC counts as connected: after a restart of the server the other
    // counters may not have come back and recorded theirs yet.
    void reclaim();
    bool holdsName() const { return m_holdsName; }
    // The addresses of the PCs connected to this counter.
    QSet<QString> connectedHere() const;
    // How long the grace lasts after the connection came back: one supervision pass, and the
    // time the other counters take to connect again.
    static constexpr int kGraceSeconds = 40;

    // ClientLink
    bool hasConnection(const QString &ip) const override;
    void SendCommand(const QString &ip, const QString &word, Reach reach = Reach::First) override;
    void sendMessageBox(const QString &ip, const QString &text) override;
    // Also reads which PCs the other live counters hold, for the reads that follow.
    void flushPending() override;
    bool asksAbout(const QString &ip) const override;

    // Messages other counters posted: those for this counter's PCs are sent to them.
    void deliver(const QStringList &messages);

signals:
    // The name is held again (`held`), or not yet, with what the operator should read.
    void reclaimed(bool held, const QString &notice);

private:
    Result<> holdConnected();
    void tryReclaim();
    bool inGrace() const;
    void send(const QString &ip, const QByteArray &message, Reach reach);

    Database &m_db;
    ServerWatch &m_watch;
    QString m_name;
    LinkServer &m_server;
    // As of the last flush: the PCs other live counters hold, and the live counters.
    QSet<QString> m_elsewhere;
    QStringList m_live;
    bool m_holdsName = true;
    QTimer m_reclaimRetry;
    QDateTime m_waitingSince;
    enum class Told { Nothing, Waiting, Elsewhere, Failed } m_told = Told::Nothing;
    QDateTime m_graceFrom;
};
