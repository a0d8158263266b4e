#pragma once

#include <QObject>
#include <QSet>

class ClientLink;
class Database;
class MachineList;
class QuestionQueue;

// The supervision pass: refreshes every list entry and icon, turns standby machines whose
// client has gone off, counts billing and paused machines, and handles sessions whose due
// time has passed.
class Supervisor final : public QObject
{
    Q_OBJECT

public:
    Supervisor(Database &db, MachineList &list, QuestionQueue &questions, QObject *parent = nullptr);

    void setLink(ClientLink *link) { m_link = link; }
    void pass();

    static QString countsText(int billing, int paused);

signals:
    // Panel 2 of the status bar.
    void countsChanged(const QString &text);
    // The operator chose to check out a machine whose time is up.
    void selectRequested(int position);

private:
    bool connected(const QString &ip) const;
    void handleDue(qint64 rowid, const QString &name, const QString &ip);
    void dueAnswered(qint64 rowid, bool checkout);

    Database &m_db;
    MachineList &m_list;
    QuestionQueue &m_questions;
    ClientLink *m_link = nullptr;
    QSet<qint64> m_dueAsked; // machines whose due-time question is waiting or shown
    quint64 m_passes = 0;    // passes begun, to notice one run from inside another
};
