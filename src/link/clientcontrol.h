#pragma once

#include "common/result.h"
#include "controlcommands.h"
#include "controlsender.h"

#include <QList>
#include <QObject>
#include <functional>
#include <optional>

class ConnectionSlots;
class Database;
struct Machine;

// The operator's control of the café PCs: which connections a target choice reaches, sending
// the commands, messages and desktop texts, and the program list of one PC. Slots are always
// taken with the identity of their connection, so a command chosen for one client never goes
// to a later client on the same slot.
class ClientControl final : public QObject
{
    Q_OBJECT

public:
    enum class TextMode { Message, DesktopText };

    // `flushPending` writes announcements the link has not written yet, before the machine
    // table is read.
    ClientControl(Database &db, ConnectionSlots &connections, std::function<void()> flushPending,
                  QObject *parent = nullptr);

    // The connections a choice reaches now (see control::resolveTargets).
    QList<control::SlotRef> targets(control::Target target, const std::optional<Machine> &selected);
    // The first connection of the machine; slot -1 when it has none.
    control::SlotRef slotOf(const Machine &machine) const;
    bool isReachable(control::SlotRef target) const;

    // The command's messages to every target, spaced per slot; the number of targets reached.
    // Commands that need more from the operator (a text, an address) send nothing here.
    int carryOut(const control::Command &command, const QList<control::SlotRef> &targets);
    // The browser start page; nothing for an empty address.
    bool sendStartPage(control::SlotRef target, const QString &address);
    // A message for the customer, or the desktop prompt text, to every target; the number of
    // targets reached. An empty text is refused.
    Result<int> sendText(TextMode mode, const QString &text, const QList<control::SlotRef> &targets);

    // The program list: the PC it shows (kept between openings of its window) and its programs.
    control::SlotRef programSlot() const { return m_programSlot; }
    void setProgramSlot(control::SlotRef target) { m_programSlot = target; }
    const QList<control::Program> &programs() const { return m_programs; }
    // Asks the program list's PC for its programs; false when it is not connected.
    bool requestPrograms();
    // Asks the PC to end the program at `index` of the list, then for the list again. Without
    // a valid index only the list is asked for.
    bool endProgram(int index);
    // A client sent its programs: the list shows them, and their sender becomes the list's PC.
    void takeProgramList(int slot, const QStringList &fields);

    ControlSender &sender() { return m_sender; }

signals:
    void programsChanged();

private:
    Database &m_db;
    ConnectionSlots &m_slots;
    std::function<void()> m_flushPending;
    ControlSender m_sender;
    control::SlotRef m_programSlot; // none until a PC is chosen or sends its list
    QList<control::Program> m_programs;
};
