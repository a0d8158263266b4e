#pragma once

#include "takings.h"

#include <QList>
#include <QString>
#include <functional>

// What an action leaves to be done once it is stored: the messages for the café's PCs (in
// order), the machine list's entries to change, the trail entries beyond the action's own, the
// machine to select, and the money it took for the shift. A rule fills it in; the command path carries it out only after the
// transaction has committed, so nothing reaches a PC or the screen that is not on disk.
struct Effects
{
    // A command goes to the first connection from the address, or to every one.
    enum class Reach { First, Every };

    struct ToPc
    {
        enum class Kind { Command, MessageBox };
        Kind kind = Kind::Command;
        QString ip;
        QString text; // the command word, or the message box's text
        Reach reach = Reach::First;
    };

    struct TrailEntry
    {
        QString kind;
        int machine = 0;
        QString details;
    };

    QList<ToPc> toPcs;
    QList<TrailEntry> entries;
    // Changes to what the desk shows (list icons, cleared entries), in order.
    QList<std::function<void()>> afterwards;
    int select = 0; // a list position to select afterwards; 0: none
    // Money taken or paid out, counted into the counter's open shift in the same transaction.
    Takings takings;

    // "_comm" with `word` to the PC at `ip`.
    void command(const QString &ip, const QString &word, Reach reach = Reach::First)
    {
        toPcs.append({ToPc::Kind::Command, ip, word, reach});
    }
    // "_msgb" with `text` to the PC at `ip`.
    void messageBox(const QString &ip, const QString &text)
    {
        toPcs.append({ToPc::Kind::MessageBox, ip, text, Reach::First});
    }
    // A trail entry written in the same transaction, beside the action's own.
    void record(const QString &kind, int machine, const QString &details) { entries.append({kind, machine, details}); }
    void then(std::function<void()> change) { afterwards.append(std::move(change)); }
};
