#pragma once

#include "commands.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QTcpSocket>
#include <QTimer>
#include <array>
#include <deque>

// What every simulated PC of a run shares.
struct PcSettings
{
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 14914;
    bool announce = true; // "_sele" with the PC's machine number once connected
    bool trailer = true;  // close every request with 0x00 "OK$", so the server can frame it
    bool chatty = false;  // now and then ask to start or order goods
    ClientCommand repeat; // sent again each time its reply has come (round-trip load)
};

// One café PC: a connection that announces its machine, sends queued commands in order and
// reports every message the server sends, split after each 0x00 "OK$".
class SimulatedPc final : public QObject
{
    Q_OBJECT

public:
    SimulatedPc(int index, int machine, const QHostAddress &bindAddress, const PcSettings &settings,
                QObject *parent = nullptr);

    // The loopback address of PC `index` (1-based): 127.0.0.2, 127.0.0.3, … 127.0.0.254,
    // then 127.0.1.1 and so on, so that the server tells the PCs apart.
    static QHostAddress loopbackAddress(int index);

    void start();
    void enqueue(const ClientCommand &command);
    // Stops repeating and chatting; queued commands still go out.
    void quiet() { m_stopped = true; }

    int index() const { return m_index; }
    int machine() const { return m_machine; }
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    bool hasEnded() const { return m_ended; }
    bool isIdle() const { return m_queue.empty() && !m_sleeping; }
    int receivedCount() const { return m_received; }
    qint64 roundTrips() const { return m_roundTrips; }
    bool hasSeen(const QByteArray &tag) const { return m_tags.contains(tag); }

signals:
    void connected(SimulatedPc *pc);
    void messageReceived(SimulatedPc *pc, const QByteArray &message);
    void ended(SimulatedPc *pc, const QString &why);
    // A sleep at the end of the queue is over: nothing is left to send.
    void becameIdle(SimulatedPc *pc);

private:
    void onConnected();
    void onReadyRead();
    void onEnded(const QString &why);
    void handle(const QByteArray &message);
    void runQueue();
    void send(const ClientCommand &command);
    void chatter();
    void scheduleChatter();
    void answerPrograms(const QByteArray &message);

    int m_index;
    int m_machine;
    QHostAddress m_bind;
    PcSettings m_settings;
    QTcpSocket m_socket;
    QByteArray m_buffer;
    std::deque<ClientCommand> m_queue;
    bool m_sleeping = false;
    bool m_ended = false;
    bool m_stopped = false;
    int m_received = 0;
    qint64 m_roundTrips = 0;
    QSet<QByteArray> m_tags;
    QList<std::array<QString, 3>> m_catalogue;    // number, name, price
    QList<std::pair<QString, qint64>> m_programs; // title, number: what "_prog" "get" lists
    QTimer m_chatterTimer;
};
