#pragma once

#include "common/commandpath.h"

#include <functional>
#include <optional>

class ClientLink;
class Database;
class ServerWatch;
namespace audit {
class Recorder;
}

// The desk's command path: every operator action, every approved PC request and the
// supervision pass's writes run here. A failed commit rolls the whole transaction back, sends
// nothing and says why; a commit that went through is followed by the rule's effects.
class CommandRunner final : public CommandPath
{
public:
    CommandRunner(Database &db, ServerWatch &watch, audit::Recorder &trail);

    // Where the messages for PCs go; none while the desk runs without the link.
    void setLink(ClientLink *link) { m_link = link; }
    // Selects a machine list position (the desk's selection).
    void setSelect(std::function<void(int)> select) { m_select = std::move(select); }
    // Why actions must wait now (the store being copied, its file gone), said instead of
    // trying; empty: they may run.
    void setRefusal(std::function<QString()> refusal) { m_refusal = std::move(refusal); }
    // The counter whose shift counts the money actions take (empty on the file).
    void setCounter(const QString &counter) { m_counter = counter; }

    // The operator's text for a store failure of `action`: its failure text, that nothing was
    // changed, and the store's reason.
    static QString failureText(const Action &action, const QString &reason);

    // Once the server is back: what became of the action whose commit the lost connection left
    // in doubt, in the operator's words (empty when none is, or the server cannot tell yet). A
    // commit that went through is followed by its messages for the PCs; the screen follows the
    // store by itself.
    QString settleInDoubt();

protected:
    Result<> execute(const Action &action, const std::function<bool(Effects &)> &rule) override;

private:
    void carryOut(const Effects &effects);
    void tellPcs(const Effects &effects);

    Database &m_db;
    ServerWatch &m_watch;
    audit::Recorder &m_trail;
    ClientLink *m_link = nullptr;
    std::function<void(int)> m_select;
    std::function<QString()> m_refusal;
    QString m_counter;
    struct InDoubt
    {
        QString name; // the action as the operator knows it
        Effects effects;
    };
    std::optional<InDoubt> m_inDoubt;
};
