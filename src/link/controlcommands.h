#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class ConnectionSlots;
struct Machine;

// The operator's control commands for the café PCs: the five target choices, the 28 commands
// with the messages each sends, and the program list messages.
namespace control {

// The target choices, in the order the operator is offered them.
enum class Target { Selected, Standby, Billing, Paused, All };
QStringList targetTexts();
QString targetText(Target target);
std::optional<Target> targetFromText(const QString &text);

// A connection slot as it was when it was chosen. The slot number alone could name a later
// client that took the slot after this one closed; the serial tells them apart.
struct SlotRef
{
    int slot = -1;
    quint64 serial = 0;
    bool operator==(const SlotRef &) const = default;
};

// The connected connections a command goes to. A machine is reached through the first connected
// slot whose peer address is its IP and is skipped when there is none; "all computers" means
// every connected slot. `machines` is the machine table in table order; `selected` the
// machine chosen in the machine list.
QList<SlotRef> resolveTargets(Target target, const QList<Machine> &machines,
                              const std::optional<Machine> &selected, const ConnectionSlots &connections);

// What a command does beyond sending fixed messages.
enum class Kind {
    Messages,    // sends `messages`, in order
    SendMessage, // opens the message dialog
    DesktopText, // opens the message dialog for the desktop prompt text
    StartPage,   // asks for an address, then sends startPageMessage()
};

struct Command
{
    QString text; // as listed to the operator
    Kind kind = Kind::Messages;
    QList<QByteArray> messages;
    // Shut down and restart: asked before they go to more than the selected PC.
    bool needsConfirmation = false;
};

// The 28 commands in list order.
const QList<Command> &commands();
const Command *commandByText(const QString &text);

// "_ereg": a value written to the current user's registry of the client PC.
QByteArray registryMessage(const QString &keyPath, const QString &valueName, const QString &type,
                           const QString &data);
QByteArray startPageMessage(const QString &address);
QByteArray desktopTextMessage(const QString &text);
QByteArray customerMessage(const QString &text);

// The program list of a client PC.
QByteArray programListRequest();
QByteArray endProgramRequest(qint64 number);

struct Program
{
    QString title;
    qint64 number = 0; // the client's own number for the program, passed back to end it
};
// The programs of a "_prog" message from its fields: (title, number) pairs; a title without
// a number gets 0.
QList<Program> programsOf(const QStringList &fields);

} // namespace control
