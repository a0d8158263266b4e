#include "frontdesk.h"

#include "billing/changemachine.h"
#include "common/clock.h"
#include "common/formats.h"
#include "goods/purchase.h"
#include "link/linkserver.h"
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

Result<> FrontDesk::open(const QString &path)
{
    QString error;
    if (!m_store.open(path, &error))
        return failure(error);
    rebuildList();
    return {};
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

void FrontDesk::attach(LinkServer &server)
{
    setLink(&server);
    m_server = &server;
    connect(&server, &QObject::destroyed, this, [this] {
        setLink(nullptr);
        m_server = nullptr;
    });
    connect(&server, &LinkServer::cardCheckoutApproved, this,
            [this](int position, const QString &card, const QString &password) {
                select(position);
                emit checkoutWithCardRequested(card, password);
            });
    connect(&server, &LinkServer::programListArrived, this, &FrontDesk::programListArrived);
}

void FrontDesk::flushLink()
{
    if (m_link)
        m_link->flushPending();
}

void FrontDesk::rebuildList()
{
    flushLink();
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
    flushLink();
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

Result<> FrontDesk::refreshedAfter(Result<> done)
{
    if (done)
        refresh();
    return done;
}

Result<> FrontDesk::startTiming(int position, const SessionInput &input, bool registerCustomer)
{
    flushLink();
    return refreshedAfter(SessionStart::startTiming(billing(), position, input, registerCustomer));
}

Result<> FrontDesk::startOvernight(int position, const SessionInput &input, bool registerCustomer)
{
    flushLink();
    return refreshedAfter(SessionStart::startOvernight(billing(), position, input, registerCustomer));
}

Result<> FrontDesk::changeSession(int position, const SessionInput &input)
{
    flushLink();
    return refreshedAfter(SessionStart::changeSession(db(), position, input));
}

Result<> FrontDesk::changeMachine(int source, int target)
{
    flushLink();
    Result<> moved = ChangeMachine::move(billing(), source, target);
    if (moved)
        select(target);
    return refreshedAfter(moved);
}

Result<> FrontDesk::purchase(int machine, const ShoppingList &list)
{
    return refreshedAfter(Purchase::confirm(db(), machine, list));
}

std::unique_ptr<Checkout> FrontDesk::openCheckout(int position)
{
    flushLink();
    auto checkout = std::make_unique<Checkout>(billing(), m_operatorName);
    if (!checkout->open(position))
        return nullptr;
    return checkout;
}

Checkout::Outcome FrontDesk::settle(Checkout &checkout, bool shutdown)
{
    flushLink();
    Checkout::Outcome outcome = shutdown ? checkout.settleAndShutdown() : checkout.settle();
    if (outcome) {
        for (int position : std::as_const(outcome->positions))
            select(position);
        refresh();
    }
    return outcome;
}
