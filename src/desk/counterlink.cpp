#include "counterlink.h"

#include "common/clock.h"
#include "link/linkserver.h"
#include "link/message.h"
#include "serverwatch.h"
#include "store/countertable.h"
#include "store/database.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCounters, "corvana.counters")

namespace {

// A message for a PC: "pc", the counter holding it, its address, F(irst) or E(very) slot of
// that address, the bytes in base64.
const QString kForPc = QStringLiteral("pc");
constexpr qsizetype kMaxMessage = 7000; // the server's limit is 8000 bytes
// A dead session of this counter ends on the server within about 20 s; one still holding the
// name after a minute is another copy.
constexpr int kReclaimRetryMs = 2000;
constexpr int kReclaimPatienceSeconds = 60;

} // namespace

Result<QString> CounterLink::claim(Database &db)
{
    CounterTable counters(db);
    const QString name = counters.ownName();
    const Result<bool> claimed = counters.claim(name);
    if (!claimed)
        return failure(claimed.error());
    if (!*claimed)
        return failure(QStringLiteral("柜台“%1”已经在运行中，同名的柜台只能运行一个").arg(name));
    return name;
}

CounterLink::CounterLink(Database &db, ServerWatch &watch, const QString &name, LinkServer &server,
                         QObject *parent)
    : QObject(parent), m_db(db), m_watch(watch), m_name(name), m_server(server)
{
    m_reclaimRetry.setSingleShot(true);
    m_reclaimRetry.setInterval(kReclaimRetryMs);
    connect(&m_reclaimRetry, &QTimer::timeout, this, &CounterLink::tryReclaim);
    connect(&server, &LinkServer::addressConnected, this, [this](const QString &ip) {
        // Written before the PC can announce itself: no other counter may take it for gone.
        if (!CounterTable(m_db).hold(m_name, ip))
            qCWarning(lcCounters) << "cannot record that this counter holds" << ip << ":" << m_db.lastError();
    });
    connect(&server, &LinkServer::addressDisconnected, this, [this](const QString &ip) {
        if (!CounterTable(m_db).release(m_name, ip))
            qCWarning(lcCounters) << "cannot record that this counter no longer holds" << ip << ":"
                                  << m_db.lastError();
    });
    if (const Result<> held = holdConnected(); !held)
        qCWarning(lcCounters) << "cannot record the PCs connected to this counter:" << held.error();
}

void CounterLink::reclaim()
{
    m_graceFrom = Clock::now();
    m_waitingSince = m_graceFrom;
    m_holdsName = false;
    m_told = Told::Nothing;
    tryReclaim();
}

void CounterLink::tryReclaim()
{
    m_reclaimRetry.stop();
    if (m_db.connectionLost())
        return; // lost again: the next reconnection starts over
    const Result<bool> claimed = CounterTable(m_db).claim(m_name);
    if (claimed && *claimed) {
        const Result<> held = holdConnected();
        m_holdsName = bool(held);
        emit reclaimed(m_holdsName, m_holdsName ? QString() : held.error());
        return;
    }
    // The old session, dead with the link, may still hold the name until the server ends it.
    m_reclaimRetry.start();
    // Said once while waiting, once more when the wait has gone on too long, and on a failure.
    const bool patient = m_waitingSince.secsTo(Clock::now()) < kReclaimPatienceSeconds;
    const Told now = !claimed ? Told::Failed : patient ? Told::Waiting : Told::Elsewhere;
    if (m_told == now)
        return;
    m_told = now;
    emit reclaimed(false, !claimed ? claimed.error()
                          : patient ? QStringLiteral("柜台“%1”原来的连接尚未结束，稍后自动重试").arg(m_name)
                                    : QStringLiteral("柜台“%1”已经在另一台计算机上运行").arg(m_name));
}

bool CounterLink::inGrace() const
{
    const QDateTime now = Clock::now();
    // A clock set back or forward ends it.
    return m_graceFrom.isValid() && now >= m_graceFrom && m_graceFrom.secsTo(now) < kGraceSeconds;
}

QSet<QString> CounterLink::connectedHere() const
{
    QSet<QString> ips;
    for (int slot = 0; slot < m_server.slotCount(); ++slot)
        if (const QString ip = m_server.peerAddress(slot); !ip.isEmpty())
            ips.insert(ip);
    return ips;
}

Result<> CounterLink::holdConnected()
{
    CounterTable counters(m_db);
    for (const QString &ip : connectedHere())
        if (!counters.hold(m_name, ip))
            return failure(m_db.lastError());
    return {};
}

bool CounterLink::hasConnection(const QString &ip) const
{
    return m_server.hasConnection(ip) || (!ip.isEmpty() && (m_elsewhere.contains(ip) || inGrace()));
}

void CounterLink::SendCommand(const QString &ip, const QString &word, Reach reach)
{
    send(ip, wire::command(word), reach);
}

void CounterLink::sendMessageBox(const QString &ip, const QString &text)
{
    send(ip, wire::messageBox(text), Reach::First);
}

void CounterLink::send(const QString &ip, const QByteArray &message, Reach reach)
{
    if (m_server.hasConnection(ip)) {
        m_server.sendToAddress(ip, message, reach);
        return;
    }
    if (ip.isEmpty())
        return;
    const QString holder = CounterTable(m_db).holderOf(ip);
    if (holder.isEmpty() || holder == m_name)
        return;
    const QString posted = QStringList{kForPc, holder, ip, reach == Reach::Every ? QStringLiteral("E") : QStringLiteral("F"),
                                       QString::fromLatin1(message.toBase64())}
                               .join(u'\t');
    if (posted.size() > kMaxMessage) {
        qCWarning(lcCounters) << "a message for" << ip << "at counter" << holder << "is too long to be sent";
        return;
    }
    if (const Result<> sent = m_watch.post(posted); !sent)
        qCWarning(lcCounters) << "a message for" << ip << "at counter" << holder
                              << "cannot be sent:" << sent.error();
}

void CounterLink::flushPending()
{
    m_server.flushPending();
    CounterTable::Holdings holdings = CounterTable(m_db).holdings(m_name);
    m_elsewhere = std::move(holdings.elsewhere);
    m_live = std::move(holdings.live);
}

bool CounterLink::asksAbout(const QString &ip) const
{
    if (m_server.hasConnection(ip))
        return true;
    if (!ip.isEmpty() && m_elsewhere.contains(ip))
        return false;
    return m_live.isEmpty() || m_live.constFirst() == m_name;
}

void CounterLink::deliver(const QStringList &messages)
{
    for (const QString &posted : messages) {
        const QStringList f = posted.split(u'\t');
        if (f.size() != 5 || f.at(0) != kForPc || f.at(3).size() != 1 || !QStringLiteral("FE").contains(f.at(3))) {
            qCWarning(lcCounters) << "a message from another counter was not understood:" << posted.left(80);
            continue;
        }
        if (f.at(1) != m_name)
            continue;
        const auto bytes = QByteArray::fromBase64Encoding(f.at(4).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!bytes) {
            qCWarning(lcCounters) << "a message from another counter was not understood:" << posted.left(80);
            continue;
        }
        m_server.sendToAddress(f.at(2), *bytes, f.at(3) == u"E" ? Reach::Every : Reach::First);
    }
}
