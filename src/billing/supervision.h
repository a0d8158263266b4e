#pragma once

#include <QObject>
#include <QSet>

class CommandPath;
class Database;
class PcPresence;
class MachineList;
class QuestionQueue;

// The supervision pass: refreshes every list entry and icon, turns standby machines whose
// client has gone off, counts billing and paused machines, and handles sessions whose due
// time has passed.
class Supervisor final : public QObject
{
    Q_OBJECT

public:
    // Its writes and its messages to PCs go through `commands`.
    Supervisor(Database &db, MachineList &list, QuestionQueue &questions, CommandPath &commands,
               QObject *parent = nullptr);

    void setPresence(PcPresence *pcs) { m_pcs = pcs; }
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
    CommandPath &m_commands;
    PcPresence *m_pcs = nullptr;
    QSet<qint64> m_dueAsked; // machines whose due-time question is waiting or shown
    quint64 m_passes = 0;    // passes begun, to notice one run from inside another
};
