#include "supervision.h"

#include "clientlink.h"
#include "common/clock.h"
#include "common/questions.h"
#include "machinelist.h"
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

void Supervisor::pass()
{
    const QDateTime now = Clock::now();
    const Tariff tariff = Tariff::read(m_db);
    MachineTable machines(m_db);
    OrderTable orders(m_db);
    int billing = 0;
    int paused = 0;
    for (Machine m : machines.all()) {
        const double goods = m.inSession() ? orders.goodsTotal(m.number) : 0;
        if (const auto columns = FlashListView(m, tariff, goods, now))
            m_list.apply(m.position, *columns);
        StatusIcon icon = iconForStatus(m.status);
        if (m.status == u"Y") {
            ++billing;
            if (m.due.isValid() && m.due < now)
                handleDue(m.rowid, m.name, m.ip);
        } else if (m.status == u"P") {
            ++paused;
        } else if (m.status == u"S" && !(m_link && m_link->hasConnection(m.ip))) {
            m.status = QStringLiteral("N");
            machines.save(m);
            icon = IconOff;
        }
        m_list.setIcon(m.position, icon);
    }
    emit countsChanged(countsText(billing, paused));
}

void Supervisor::handleDue(qint64 rowid, const QString &name, const QString &ip)
{
    if (m_dueAsked.contains(rowid))
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
    MachineTable machines(m_db);
    std::optional<Machine> m = machines.byRowid(rowid);
    // The session may have been settled or moved while the question waited.
    if (!m || m->status != u"Y" || !m->due.isValid())
        return;
    if (checkout) {
        emit selectRequested(m->position);
        return;
    }
    m->due = QDateTime();
    machines.save(*m);
    if (m_link)
        m_link->SendCommand(m->ip, QStringLiteral("start"));
    pass();
}
