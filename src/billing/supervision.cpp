#include "supervision.h"

#include "common/clock.h"
#include "common/commandpath.h"
#include "common/questions.h"
#include "machinelist.h"
#include "pcpresence.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/machinetable.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSupervision, "corvana.billing.supervision")

Supervisor::Supervisor(Database &db, MachineList &list, QuestionQueue &questions, CommandPath &commands,
                       QObject *parent)
    : QObject(parent), m_db(db), m_list(list), m_questions(questions), m_commands(commands)
{
}

QString Supervisor::countsText(int billing, int paused)
{
    return QStringLiteral("%1台记费中 %2台暂停中").arg(billing).arg(paused);
}

bool Supervisor::connected(const QString &ip) const
{
    return m_pcs && m_pcs->hasConnection(ip);
}

void Supervisor::pass()
{
    // What the link recorded but has not written yet (announcements, closed connections)
    // must be in the table this pass reads.
    if (m_pcs)
        m_pcs->flushPending();
    const quint64 serial = ++m_passes;
    const QDateTime now = Clock::now();
    const Tariff tariff = Tariff::read(m_db);
    MachineTable machines(m_db);
    OrderTable orders(m_db);
    QList<Machine> rows = machines.all();
    const QList<double> goods = sessionGoods(m_db, rows);

    // Standby machines whose client has gone are turned off together, in one write.
    QList<Machine *> gone;
    for (Machine &m : rows)
        if (m.status == MachineStatus::Standby && !connected(m.ip))
            gone.append(&m);
    if (!gone.isEmpty()) {
        const Result<> off = m_commands.run({}, [&](Effects &) -> Result<> {
            for (Machine *m : std::as_const(gone))
                if (!machines.setStatus(m->rowid, MachineStatus::Standby, MachineStatus::Off))
                    return failure(m_db.lastError());
            return {};
        });
        // Not stored: they show standby until a later pass succeeds.
        if (off)
            for (Machine *m : std::as_const(gone))
                m->status = MachineStatus::Off;
    }

    int billing = 0;
    int paused = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        Machine m = rows.at(i);
        double goodsTotal = goods.at(i);
        // A question answered at once runs a complete pass from inside this one; the rows
        // read before it are stale then, so read each remaining row afresh.
        if (m_passes != serial) {
            std::optional<Machine> fresh = machines.byRowid(m.rowid);
            if (!fresh)
                continue;
            m = *fresh;
            goodsTotal = m.inSession() ? orders.goodsTotal(m.number) : 0;
        }
        if (const auto columns = FlashListView(m, tariff, goodsTotal, now))
            m_list.apply(m.position, *columns);
        if (m.status == MachineStatus::Billing) {
            ++billing;
            if (m.due.isValid() && m.due < now)
                handleDue(m.rowid, m.name, m.ip);
        } else if (m.status == MachineStatus::Paused) {
            ++paused;
        }
        m_list.setIcon(m.position, iconForStatus(m.status));
    }
    emit countsChanged(countsText(billing, paused));
}

void Supervisor::handleDue(qint64 rowid, const QString &name, const QString &ip)
{
    if (m_dueAsked.contains(rowid) || (m_pcs && !m_pcs->asksAbout(ip)))
        return;
    m_dueAsked.insert(rowid);
    // Nothing is written: the PC is stopped while the question waits.
    (void)m_commands.run({}, [&](Effects &effects) -> Result<> {
        effects.command(ip, QStringLiteral("stop"));
        effects.messageBox(ip, QStringLiteral("你所定的时间已经到了，请到吧台去结帐！"));
        return {};
    });
    Question q;
    q.text = name + QStringLiteral(" 时间到了,是否要结帐?\r\n先择[确定]进入结帐界面,否则继续记费！");
    q.buttons = Question::Buttons::OkCancel;
    m_questions.ask(q, [this, rowid](Answer answer) { dueAnswered(rowid, answer == Answer::Ok); });
}

void Supervisor::dueAnswered(qint64 rowid, bool checkout)
{
    m_dueAsked.remove(rowid);
    if (m_pcs)
        m_pcs->flushPending();
    MachineTable machines(m_db);
    std::optional<Machine> m = machines.byRowid(rowid);
    // The session may have been settled or moved while the question waited.
    if (!m || m->status != MachineStatus::Billing || !m->due.isValid())
        return;
    if (checkout) {
        emit selectRequested(m->position);
        return;
    }
    const Result<> cleared = m_commands.run({}, [&](Effects &effects) -> Result<> {
        if (!machines.clearDue(rowid))
            return failure(m_db.lastError());
        effects.command(m->ip, QStringLiteral("start"));
        return {};
    });
    if (!cleared)
        qCWarning(lcSupervision) << "due time of" << m->name << "not cleared:" << cleared.error();
    pass();
}
