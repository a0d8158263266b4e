#include "frontdesk.h"

#include "common/clock.h"
#include "common/formats.h"
#include "store/goodstables.h"
#include "store/machinetable.h"

FrontDesk::FrontDesk(QObject *parent)
    : QObject(parent), m_supervisor(m_store.db(), m_list, m_questions)
{
    m_clockTimer.setInterval(1000);
    m_supervisionTimer.setInterval(30000);
    connect(&m_clockTimer, &QTimer::timeout, this, [this] { emit clockChanged(clockText()); });
    connect(&m_supervisionTimer, &QTimer::timeout, &m_supervisor, &Supervisor::pass);
    connect(&m_supervisor, &Supervisor::countsChanged, this, &FrontDesk::countsChanged);
    connect(&m_supervisor, &Supervisor::selectRequested, this, &FrontDesk::select);
}

FrontDesk::~FrontDesk() = default;

bool FrontDesk::open(const QString &path, QString *error)
{
    if (!m_store.open(path, error))
        return false;
    rebuildList();
    return true;
}

void FrontDesk::startTimers()
{
    emit clockChanged(clockText());
    m_clockTimer.start();
    m_supervisionTimer.start();
}

void FrontDesk::setLink(ClientLink *link)
{
    m_link = link;
    m_supervisor.setLink(link);
}

void FrontDesk::rebuildList()
{
    const QList<Machine> machines = MachineTable(db()).all();
    OrderTable orders(db());
    QList<double> goods;
    goods.reserve(machines.size());
    for (const Machine &m : machines)
        goods.append(m.inSession() ? orders.goodsTotal(m.number) : 0);
    m_list.rebuild(machines, Tariff::read(db()), goods, Clock::now());
    if (m_selected < 1 || m_selected > m_list.count())
        m_selected = m_list.count() > 0 ? 1 : 0;
}

void FrontDesk::select(int position)
{
    if (position < 1 || position > m_list.count())
        return;
    m_selected = position;
    emit selectionChanged(position, m_list.tooltip(position));
}

std::optional<Machine> FrontDesk::selectedMachine()
{
    return MachineTable(db()).at(m_selected);
}

void FrontDesk::setOperator(const QString &name, const QString &right)
{
    m_operatorName = name;
    m_operatorRight = right;
}

QString FrontDesk::clockText() const
{
    return formatClock(Clock::now());
}
