#include "commandrunner.h"

#include "audit/trail.h"
#include "link/clientlink.h"
#include "serverwatch.h"
#include "common/clock.h"
#include "store/database.h"
#include "store/shifttable.h"

#include <QLoggingCategory>
#include <utility>

Q_LOGGING_CATEGORY(lcCommands, "corvana.desk.commands")

CommandRunner::CommandRunner(Database &db, ServerWatch &watch, audit::Recorder &trail)
    : m_db(db), m_watch(watch), m_trail(trail)
{
}

QString CommandRunner::failureText(const Action &action, const QString &reason)
{
    return action.failure + QStringLiteral("，数据没有任何改动！\r\n") + reason;
}

Result<> CommandRunner::execute(const Action &action, const std::function<bool(Effects &)> &rule)
{
    // Nothing is tried while the server is away: said as it is.
    if (m_watch.lost())
        return failure(ServerWatch::lostText());
    if (m_refusal)
        if (const QString why = m_refusal(); !why.isEmpty())
            return failure(why);
    if (m_db.inTransaction()) {
        // Only whole actions commit; one run from inside another would commit into it.
        qCCritical(lcCommands) << "action" << action.kind << "started inside another";
        return failure(failureText(action, QStringLiteral("操作正在进行中")));
    }
    // What the link holds back (announcements, closed connections) is in the table first.
    if (m_link)
        m_link->flushPending();
    Effects effects;
    // On a server another counter's conflicting write (a deadlock, a serialization failure)
    // undoes the whole transaction; run once more, the other has finished by then.
    for (int attempt = 0;; ++attempt) {
        effects = Effects();
        Transaction t(m_db);
        const bool done = rule(effects);
        // The money it took counts in the shift only with the action, and the action only with it.
        if (done && (!effects.takings.any() ||
                     ShiftTable(m_db).add(m_counter, m_trail.operatorName(), Clock::now(), effects.takings))) {
            if (!action.kind.isEmpty())
                m_trail.append(action.kind, action.machine, action.details ? action.details() : QString(),
                               action.actor);
            for (const Effects::TrailEntry &e : std::as_const(effects.entries))
                m_trail.append(e.kind, e.machine, e.details);
            if (t.commit())
                break;
        }
        const QString reason = m_db.lastError();
        const bool retry = attempt == 0 && m_db.lastFailureRetryable();
        if (retry) {
            qCInfo(lcCommands) << "conflict with another writer, running" << action.kind << "once more:" << reason;
            continue;
        }
        if (!done)
            return failure(QString()); // the rule's own refusal
        if (m_watch.commitInDoubt()) {
            qCWarning(lcCommands) << "connection lost at the commit of" << action.kind;
            // Named as the trail would have named it.
            const QString name = !action.kind.isEmpty()      ? action.kind
                                 : !effects.entries.isEmpty() ? effects.entries.first().kind
                                                              : action.failure;
            m_inDoubt = InDoubt{name, effects};
            return failure(action.failure +
                           QStringLiteral("：与数据库服务器的连接在保存时断开，还不知道是否已经保存。"
                                          "重新连接后会告诉您结果。"));
        }
        qCWarning(lcCommands) << "action" << action.kind << "not stored:" << reason;
        return failure(failureText(action, reason));
    }
    carryOut(effects);
    return {};
}

void CommandRunner::tellPcs(const Effects &effects)
{
    if (!m_link)
        return;
    for (const Effects::ToPc &p : effects.toPcs) {
        if (p.kind == Effects::ToPc::Kind::MessageBox)
            m_link->sendMessageBox(p.ip, p.text);
        else
            m_link->SendCommand(p.ip, p.text, p.reach);
    }
}

void CommandRunner::carryOut(const Effects &effects)
{
    tellPcs(effects);
    for (const std::function<void()> &change : effects.afterwards)
        change();
    if (effects.select > 0 && m_select)
        m_select(effects.select);
}

QString CommandRunner::settleInDoubt()
{
    if (!m_inDoubt)
        return {};
    const CommitFate fate = m_watch.commitFate();
    if (fate == CommitFate::NotYetKnown)
        return {};
    const InDoubt doubt = *std::exchange(m_inDoubt, std::nullopt);
    switch (fate) {
    case CommitFate::Committed:
        // What was to follow the commit on screen refers to windows long closed: only the PCs
        // are told, the list reads the store again.
        tellPcs(doubt.effects);
        return QStringLiteral("连接断开时的“%1”已经保存。").arg(doubt.name);
    case CommitFate::RolledBack:
        return QStringLiteral("连接断开时的“%1”没有保存，数据没有任何改动。").arg(doubt.name);
    case CommitFate::NotYetKnown:
    case CommitFate::Unknowable:
        break;
    }
    return QStringLiteral("无法确认连接断开时的“%1”是否已经保存，请核对。").arg(doubt.name);
}
