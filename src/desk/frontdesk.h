#pragma once

#include "billing/machinelist.h"
#include "billing/supervision.h"
#include "common/questions.h"
#include "store/rows.h"
#include "store/store.h"

#include <QObject>
#include <QTimer>

class ClientLink;

// The non-visual heart of the main window: the open store, the machine list, the selected
// machine, the logged-in operator, the questions to the operator and the two timers.
class FrontDesk final : public QObject
{
    Q_OBJECT

public:
    explicit FrontDesk(QObject *parent = nullptr);
    ~FrontDesk() override;

    // Opens (or creates) the store at `path` and builds the machine list.
    bool open(const QString &path, QString *error);
    // Starts the clock and supervision timers.
    void startTimers();

    Store &store() { return m_store; }
    Database &db() { return m_store.db(); }
    MachineList &machineList() { return m_list; }
    QuestionQueue &questions() { return m_questions; }
    Supervisor &supervisor() { return m_supervisor; }

    void setLink(ClientLink *link);
    ClientLink *link() const { return m_link; }

    // Rebuilds the machine list from the machine table.
    void rebuildList();
    // Runs one supervision pass now.
    void refresh() { m_supervisor.pass(); }

    // The selected machine: its 1-based list position (0 when the list is empty).
    int selected() const { return m_selected; }
    void select(int position);
    std::optional<Machine> selectedMachine();

    // The logged-in operator; empty until a login, the right "D" without operators.
    QString operatorName() const { return m_operatorName; }
    QString operatorRight() const { return m_operatorRight; }
    void setOperator(const QString &name, const QString &right);

    // The desktop lock: while on, clients' requests to start, order and settle are refused.
    bool isLocked() const { return m_locked; }
    void setLocked(bool locked) { m_locked = locked; }

    QString clockText() const;

signals:
    void clockChanged(const QString &text);
    void countsChanged(const QString &text);
    // The selected machine changed (or was selected again); `tooltip` is its status text.
    void selectionChanged(int position, const QString &tooltip);
    // A client's request to settle with a card was approved: open checkout for the selected
    // machine with the card filled in.
    void checkoutWithCardRequested(const QString &card, const QString &password);
    // A client sent the list of its running programs: (title, number) pairs.
    void programListArrived(int slot, const QStringList &titlesAndNumbers);

private:
    Store m_store;
    MachineList m_list;
    QuestionQueue m_questions;
    Supervisor m_supervisor;
    ClientLink *m_link = nullptr;
    QTimer m_clockTimer;
    QTimer m_supervisionTimer;
    int m_selected = 0;
    QString m_operatorName;
    QString m_operatorRight;
    bool m_locked = false;
};
