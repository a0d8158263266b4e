#include "counterlink.h"

#include "link/linkserver.h"
#include "link/message.h"
#include "store/countertable.h"
#include "store/database.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCounters, "corvana.counters")

namespace {

// A message for a PC: "pc", the counter holding it, its address, F(irst) or E(very) slot of
// that address, the bytes in base64.
const QString kForPc = QStringLiteral("pc");
constexpr qsizetype kMaxMessage = 7000; // the server's limit is 8000 bytes

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

CounterLink::CounterLink(Database &db, const QString &name, LinkServer &server, QObject *parent)
    : QObject(parent), m_db(db), m_name(name), m_server(server)
{
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

Result<> CounterLink::reclaim()
{
    CounterTable counters(m_db);
    const Result<bool> claimed = counters.claim(m_name);
    if (!claimed)
        return failure(claimed.error());
    if (!*claimed)
        return failure(QStringLiteral("柜台“%1”已经在另一台计算机上运行").arg(m_name));
    return holdConnected();
}

Result<> CounterLink::holdConnected()
{
    CounterTable counters(m_db);
    for (int slot = 0; slot < m_server.slotCount(); ++slot) {
        const QString ip = m_server.peerAddress(slot);
        if (!ip.isEmpty() && !counters.hold(m_name, ip))
            return failure(m_db.lastError());
    }
    return {};
}

bool CounterLink::hasConnection(const QString &ip) const
{
    return m_server.hasConnection(ip) || (!ip.isEmpty() && m_elsewhere.contains(ip));
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
    if (posted.size() > kMaxMessage || !m_db.post(posted))
        qCWarning(lcCounters) << "a message for" << ip << "at counter" << holder << "cannot be sent:" << m_db.lastError();
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
