#include "supervision.h"

#include "clientlink.h"
#include "common/clock.h"
#include "common/questions.h"
#include "machinelist.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/machinetable.h"

Supervisor::Supervisor(Database &db, MachineList &list, QuestionQueue &questions, QObject *parent)
    : QObject(parent), m_db(db), m_list(list), m_questions(questions)
{
}

QString Supervisor::countsText(int billing, int paused)
{
    return QStringLiteral("%1台记费中 %2台暂停中").arg(billing).arg(paused);
}

bool Supervisor::connected(const QString &ip) const
{
    return m_link && m_link->hasConnection(ip);
}

void Supervisor::pass()
{
    // What the link recorded but has not written yet (announcements, closed connections)
    // must be in the table this pass reads.
    if (m_link)
        m_link->flushPending();
    const quint64 serial = ++m_passes;
    const QDateTime now = Clock::now();
    const Tariff tariff = Tariff::read(m_db);
    MachineTable machines(m_db);
    OrderTable orders(m_db);
    QList<Machine> rows = machines.all();

    // Standby machines whose client has gone are turned off together, in one write.
    QList<Machine *> gone;
    for (Machine &m : rows)
        if (m.status == MachineStatus::Standby && !connected(m.ip))
            gone.append(&m);
    if (!gone.isEmpty()) {
        Transaction t(m_db);
        for (Machine *m : std::as_const(gone)) {
            machines.setStatus(m->rowid, MachineStatus::Standby, MachineStatus::Off);
            m->status = MachineStatus::Off;
        }
        t.commit();
    }

    int billing = 0;
    int paused = 0;
    for (Machine m : std::as_const(rows)) {
        // A question answered at once runs a complete pass from inside this one; the rows
        // read before it are stale then, so read each remaining row afresh.
        if (m_passes != serial) {
            std::optional<Machine> fresh = machines.byRowid(m.rowid);
            if (!fresh)
                continue;
            m = *fresh;
        }
        const double goods = m.inSession() ? orders.goodsTotal(m.number) : 0;
        if (const auto columns = FlashListView(m, tariff, goods, now))
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
    if (m_dueAsked.contains(rowid) || (m_link && !m_link->asksAbout(ip)))
        return;
    m_dueAsked.insert(rowid);
    if (m_link) {
        m_link->SendCommand(ip, QStringLiteral("stop"));
        m_link->sendMessageBox(ip, QStringLiteral("你所定的时间已经到了，请到吧台去结帐！"));
    }
    Question q;
    q.text = name + QStringLiteral(" 时间到了,是否要结帐?\r\n先择[确定]进入结帐界面,否则继续记费！");
    q.buttons = Question::Buttons::OkCancel;
    m_questions.ask(q, [this, rowid](Answer answer) { dueAnswered(rowid, answer == Answer::Ok); });
}

void Supervisor::dueAnswered(qint64 rowid, bool checkout)
{
    m_dueAsked.remove(rowid);
    if (m_link)
        m_link->flushPending();
    MachineTable machines(m_db);
    std::optional<Machine> m = machines.byRowid(rowid);
    // The session may have been settled or moved while the question waited.
    if (!m || m->status != MachineStatus::Billing || !m->due.isValid())
        return;
    if (checkout) {
        emit selectRequested(m->position);
        return;
    }
    machines.clearDue(rowid);
    if (m_link)
        m_link->SendCommand(m->ip, QStringLiteral("start"));
    pass();
}
