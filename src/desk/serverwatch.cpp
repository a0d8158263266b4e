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
    m_db.setNotified([this] { noticed(); });
}

ServerWatch::~ServerWatch()
{
    m_db.setNotified({});
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
    const int socket = m_db.notificationSocket();
    if (socket < 0)
        return;
    m_socket = std::make_unique<QSocketNotifier>(qintptr(socket), QSocketNotifier::Read);
    connect(m_socket.get(), &QSocketNotifier::activated, this, &ServerWatch::read);
    m_probe.start();
}

void ServerWatch::probe()
{
    // A transaction's own statements find a dead link; a failed probe is told through noticed().
    if (!m_lost && !m_db.inTransaction())
        m_db.probe();
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
    for (const QString &table : m_db.takeNotifications())
        m_tables.insert(table);
    // Messages are for the PCs: they go on at once, not gathered.
    if (const QStringList messages = m_db.takeMessages(); !messages.isEmpty())
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
    follow(m_db.startReconnect());
}

void ServerWatch::follow(ReconnectStep step)
{
    drop();
    const int socket = m_db.notificationSocket();
    if ((step == ReconnectStep::WaitRead || step == ReconnectStep::WaitWrite) && socket >= 0) {
        m_socket = std::make_unique<QSocketNotifier>(
            qintptr(socket), step == ReconnectStep::WaitRead ? QSocketNotifier::Read : QSocketNotifier::Write);
        connect(m_socket.get(), &QSocketNotifier::activated, this, [this] { follow(m_db.continueReconnect()); });
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
    m_db.takeNotifications(); // what was missed is read afresh by whoever follows
    emit lostChanged(false);
}
