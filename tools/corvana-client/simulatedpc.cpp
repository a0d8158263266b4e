#include "simulatedpc.h"

#include "common/cp936.h"

#include <QRandomGenerator>

namespace {
const QByteArray kEndMark = QByteArrayLiteral("\0OK$");
}

SimulatedPc::SimulatedPc(int index, int machine, const QHostAddress &bindAddress, const PcSettings &settings,
                         QObject *parent)
    : QObject(parent), m_index(index), m_machine(machine), m_bind(bindAddress), m_settings(settings)
{
    // A few programs a café PC might run; the numbers differ from PC to PC like process ids.
    const qint64 base = 1000 + qint64(index) * 100;
    m_programs = {{QStringLiteral("我的电脑"), base + 4},
                  {QStringLiteral("新浪首页 - Microsoft Internet Explorer"), base + 12},
                  {QStringLiteral("QQ 聊天"), base + 20},
                  {QStringLiteral("无标题 - 记事本"), base + 36},
                  {QStringLiteral("传奇客户端"), base + 48}};
    m_chatterTimer.setSingleShot(true);
    connect(&m_chatterTimer, &QTimer::timeout, this, &SimulatedPc::chatter);
    connect(&m_socket, &QTcpSocket::connected, this, &SimulatedPc::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &SimulatedPc::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this,
            [this] { onEnded(QStringLiteral("closed by the server")); });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_socket.state() != QAbstractSocket::ConnectedState)
            onEnded(m_socket.errorString());
    });
}

QHostAddress SimulatedPc::loopbackAddress(int index)
{
    // Host parts 1 to 254 of each 127.x.y block; 127.0.0.1 stays free for the server side.
    const quint32 s = quint32(index);
    const quint32 o4 = s % 254 + 1;
    const quint32 o3 = (s / 254) % 256;
    const quint32 o2 = (s / 254 / 256) % 256;
    return QHostAddress((127u << 24) | (o2 << 16) | (o3 << 8) | o4);
}

void SimulatedPc::start()
{
    if (!m_bind.isNull() && !m_socket.bind(m_bind, 0)) {
        onEnded(QStringLiteral("cannot bind ") + m_bind.toString() + QStringLiteral(": ") +
                m_socket.errorString());
        return;
    }
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket.connectToHost(m_settings.host, m_settings.port);
}

void SimulatedPc::enqueue(const ClientCommand &command)
{
    m_queue.push_back(command);
    runQueue();
}

void SimulatedPc::onConnected()
{
    emit connected(this);
    if (m_settings.announce)
        send(parseCommand(QStringLiteral("sele ") + QString::number(m_machine)));
    if (m_settings.chatty) {
        send(parseCommand(QStringLiteral("gets good")));
        scheduleChatter();
    }
    if (m_settings.repeat.kind == ClientCommand::Kind::Send)
        send(m_settings.repeat);
    runQueue();
}

void SimulatedPc::onReadyRead()
{
    m_buffer += m_socket.readAll();
    qsizetype start = 0;
    for (qsizetype mark; (mark = m_buffer.indexOf(kEndMark, start)) >= 0;) {
        const qsizetype end = mark + kEndMark.size();
        handle(m_buffer.mid(start, end - start));
        start = end;
    }
    m_buffer.remove(0, start);
}

void SimulatedPc::handle(const QByteArray &message)
{
    ++m_received;
    const QByteArray tag = message.left(5);
    m_tags.insert(tag);
    emit messageReceived(this, message);

    if (tag == "_gets" && message.startsWith(QByteArrayLiteral("_gets\0good\0"))) {
        // The catalogue: number, name, price triples up to the empty field before "OK$".
        const QList<QByteArray> f = message.split('\0');
        m_catalogue.clear();
        for (qsizetype k = 2; k + 2 < f.size() && !f.at(k).isEmpty(); k += 3)
            m_catalogue.append(
                {cp936::decode(f.at(k)), cp936::decode(f.at(k + 1)), cp936::decode(f.at(k + 2))});
    }
    if (tag == "_prog")
        answerPrograms(message);
    if (m_settings.repeat.kind == ClientCommand::Kind::Send && tag == m_settings.repeat.tag()) {
        ++m_roundTrips;
        if (!m_stopped)
            send(m_settings.repeat);
    }
}

void SimulatedPc::onEnded(const QString &why)
{
    if (m_ended)
        return;
    m_ended = true;
    m_chatterTimer.stop();
    if (!m_buffer.isEmpty()) {
        handle(m_buffer);
        m_buffer.clear();
    }
    emit ended(this, why);
}

void SimulatedPc::runQueue()
{
    while (!m_sleeping && !m_queue.empty() && isConnected()) {
        const ClientCommand c = m_queue.front();
        m_queue.pop_front();
        if (c.kind == ClientCommand::Kind::Sleep) {
            m_sleeping = true;
            QTimer::singleShot(qint64(c.seconds * 1000), this, [this] {
                m_sleeping = false;
                runQueue();
                if (isIdle())
                    emit becameIdle(this);
            });
        } else if (c.kind == ClientCommand::Kind::Send) {
            send(c);
        }
    }
}

void SimulatedPc::send(const ClientCommand &command)
{
    if (command.kind != ClientCommand::Kind::Send || !isConnected())
        return;
    QByteArray bytes = command.bytes;
    if (!command.raw && m_settings.trailer)
        bytes += kEndMark;
    m_socket.write(bytes);
    m_socket.flush();
}

void SimulatedPc::scheduleChatter()
{
    m_chatterTimer.start(int(QRandomGenerator::global()->bounded(3000, 15000)));
}

void SimulatedPc::chatter()
{
    if (m_stopped || !isConnected())
        return;
    QRandomGenerator *random = QRandomGenerator::global();
    if (m_catalogue.isEmpty() || random->bounded(10) < 3) {
        send(parseCommand(QStringLiteral("start")));
    } else {
        QStringList fields;
        const int items = int(random->bounded(1, 3));
        for (int i = 0; i < items; ++i) {
            const auto &article = m_catalogue.at(random->bounded(int(m_catalogue.size())));
            fields << article[0] << article[1] << QString::number(random->bounded(1, 4));
        }
        ClientCommand c;
        c.kind = ClientCommand::Kind::Send;
        c.bytes = request(QStringLiteral("_good"), fields);
        send(c);
    }
    scheduleChatter();
}

void SimulatedPc::answerPrograms(const QByteArray &message)
{
    const QList<QByteArray> f = message.split('\0');
    const QByteArray word = f.value(1);
    if (word == "close") {
        // Ending a program: it leaves the list; the server asks for the list again itself.
        const qint64 number = f.value(2).toLongLong();
        m_programs.removeIf([number](const auto &p) { return p.second == number; });
        return;
    }
    if (word != "get")
        return;
    QByteArray reply = QByteArrayLiteral("_prog");
    for (const auto &[title, number] : m_programs)
        reply += '\0' + cp936::encode(title) + '\0' + QByteArray::number(number);
    // Sent like any request: with the end mark when the PC uses it.
    ClientCommand answer;
    answer.kind = ClientCommand::Kind::Send;
    answer.bytes = reply;
    send(answer);
}
