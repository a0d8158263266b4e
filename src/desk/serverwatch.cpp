#include "serverwatch.h"

ServerWatch::ServerWatch(Database &db, QObject *parent) : QObject(parent), m_db(db)
{
    m_gather.setSingleShot(true);
    m_gather.setInterval(30);
    connect(&m_gather, &QTimer::timeout, this, &ServerWatch::apply);
    m_retry.setInterval(5000);
    connect(&m_retry, &QTimer::timeout, this, &ServerWatch::retry);
    m_attempt.setSingleShot(true);
    m_attempt.setInterval(5000);
    connect(&m_attempt, &QTimer::timeout, this, [this] { follow(ReconnectStep::Failed); });
    m_probe.setInterval(3000);
    connect(&m_probe, &QTimer::timeout, this, &ServerWatch::probe);
    if (ServerLink *l = link())
        l->setNotified([this] { noticed(); });
}

ServerWatch::~ServerWatch()
{
    if (ServerLink *l = link())
        l->setNotified({});
}

QString ServerWatch::lostText()
{
    return QStringLiteral("与数据库服务器的连接已断开");
}

void ServerWatch::drop()
{
    if (!m_socket)
        return;
    m_socket->setEnabled(false);
    m_socket.release()->deleteLater();
}

void ServerWatch::start()
{
    drop();
    m_probe.stop();
    m_tables.clear();
    ServerLink *l = link();
    if (!l)
        return;
    // A store opened again has a link of its own.
    l->setNotified([this] { noticed(); });
    const int socket = l->notificationSocket();
    if (socket < 0)
        return;
    m_socket = std::make_unique<QSocketNotifier>(qintptr(socket), QSocketNotifier::Read);
    connect(m_socket.get(), &QSocketNotifier::activated, this, &ServerWatch::read);
    m_probe.start();
}

void ServerWatch::probe()
{
    // A transaction's own statements find a dead link; a failed probe is told through noticed().
    if (ServerLink *l = link(); l && !m_lost && !m_db.inTransaction())
        l->probe();
}

void ServerWatch::noticed()
{
    if (!m_db.connectionLost()) {
        if (!m_gather.isActive())
            m_gather.start();
        return;
    }
    if (m_lost)
        return;
    // The socket is closed or about to be; its number may soon be another socket's.
    drop();
    m_lost = true;
    m_gather.stop();
    m_probe.stop();
    m_retry.start();
    QTimer::singleShot(0, this, [this] {
        if (m_lost)
            emit lostChanged(true);
    });
}

void ServerWatch::read()
{
    ServerLink *l = link();
    if (!l)
        return;
    for (const QString &table : l->takeNotifications())
        m_tables.insert(table);
    // Messages are for the PCs: they go on at once, not gathered.
    if (const QStringList messages = l->takeMessages(); !messages.isEmpty())
        emit messagesArrived(messages);
    if (!m_lost && !m_tables.isEmpty() && !m_gather.isActive())
        m_gather.start();
}

void ServerWatch::apply()
{
    read();
    m_gather.stop();
    if (m_lost || m_tables.isEmpty())
        return;
    const QSet<QString> tables = std::exchange(m_tables, {});
    emit changed(tables);
}

void ServerWatch::retry()
{
    m_retry.stop(); // one attempt at a time
    m_attempt.start();
    ServerLink *l = link();
    follow(l ? l->startReconnect() : ReconnectStep::Failed);
}

void ServerWatch::follow(ReconnectStep step)
{
    drop();
    ServerLink *l = link();
    const int socket = l ? l->notificationSocket() : -1;
    if ((step == ReconnectStep::WaitRead || step == ReconnectStep::WaitWrite) && socket >= 0) {
        m_socket = std::make_unique<QSocketNotifier>(
            qintptr(socket), step == ReconnectStep::WaitRead ? QSocketNotifier::Read : QSocketNotifier::Write);
        connect(m_socket.get(), &QSocketNotifier::activated, this, [this] {
            ServerLink *now = link();
            follow(now ? now->continueReconnect() : ReconnectStep::Failed);
        });
        return;
    }
    m_attempt.stop();
    if (step != ReconnectStep::Done) {
        emit lostChanged(true);
        m_retry.start();
        return;
    }
    m_lost = false;
    start();
    if (l)
        l->takeNotifications(); // what was missed is read afresh by whoever follows
    emit lostChanged(false);
}

Result<> ServerWatch::post(const QString &message)
{
    ServerLink *l = link();
    if (!l)
        return failure(QStringLiteral("只有数据库服务器上才有其他柜台"));
    if (!l->post(message))
        return failure(l->lastError());
    return {};
}

bool ServerWatch::commitInDoubt() const
{
    const ServerLink *l = link();
    return l && l->commitInDoubt();
}

CommitFate ServerWatch::commitFate()
{
    ServerLink *l = link();
    return l ? l->commitFate() : CommitFate::NotYetKnown;
}
