#pragma once

#include "link/clientlink.h"
#include "common/result.h"

#include <QObject>
#include <QSet>
#include <QStringList>

class Database;
class LinkServer;

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

    CounterLink(Database &db, const QString &name, LinkServer &server, QObject *parent = nullptr);

    QString name() const { return m_name; }
    // After the connection to the server was made anew, which loses the claim: claims the name
    // again and records the PCs connected here.
    Result<> reclaim();

    // ClientLink
    bool hasConnection(const QString &ip) const override;
    void SendCommand(const QString &ip, const QString &word, Reach reach = Reach::First) override;
    void sendMessageBox(const QString &ip, const QString &text) override;
    // Also reads which PCs the other live counters hold, for the reads that follow.
    void flushPending() override;
    bool asksAbout(const QString &ip) const override;

    // Messages other counters posted: those for this counter's PCs are sent to them.
    void deliver(const QStringList &messages);

private:
    Result<> holdConnected();
    void send(const QString &ip, const QByteArray &message, Reach reach);

    Database &m_db;
    QString m_name;
    LinkServer &m_server;
    // As of the last flush: the PCs other live counters hold, and the live counters.
    QSet<QString> m_elsewhere;
    QStringList m_live;
};
