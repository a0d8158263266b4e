// corvana-client: a café-PC simulator speaking the client link's wire protocol, for people,
// scripts, tests and benchmarks.
#include "commands.h"
#include "simulatedpc.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

struct RunOptions
{
    int pcs = 1;
    bool multi = false;
    bool quiet = false;
    bool summary = false;
    double linger = 1;
    double duration = 0;          // 0: until stdin ends (chatty PCs: until stopped)
    bool chatty = false;
    double timeout = 0;           // 0: none
    int expect = 0;               // total messages
    QList<QByteArray> expectEach; // tags every PC must have seen
    QString separator = QStringLiteral("|");
};

void raiseFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void printLine(FILE *to, const QString &line)
{
    const QByteArray utf8 = line.toUtf8() + '\n';
    fwrite(utf8.constData(), 1, size_t(utf8.size()), to);
    fflush(to);
}

class Run final : public QObject
{
public:
    Run(const RunOptions &options, const PcSettings &settings, const QList<QHostAddress> &binds,
        int firstMachine)
        : m_options(options)
    {
        for (int i = 0; i < options.pcs; ++i) {
            auto *pc = new SimulatedPc(i + 1, firstMachine + i, binds.value(i), settings, this);
            connect(pc, &SimulatedPc::messageReceived, this, &Run::received);
            connect(pc, &SimulatedPc::becameIdle, this, [this] { checkIdle(); });
            connect(pc, &SimulatedPc::ended, this, &Run::ended);
            m_pcs.append(pc);
        }
    }

    void start(bool fromStdin)
    {
        m_clock.start();
        for (SimulatedPc *pc : m_pcs)
            pc->start();
        if (m_options.duration > 0)
            QTimer::singleShot(qint64(m_options.duration * 1000), this, [this] { finish(0); });
        if (m_options.timeout > 0)
            QTimer::singleShot(qint64(m_options.timeout * 1000), this, [this] {
                printLine(stderr, QStringLiteral("corvana-client: timed out"));
                finish(1);
            });
        if (fromStdin)
            readStdin();
    }

    void command(const QString &line)
    {
        const ClientCommand c = parseCommand(line);
        if (c.kind == ClientCommand::Kind::Invalid) {
            printLine(stderr, QStringLiteral("corvana-client: ") + c.error);
            return;
        }
        if (c.kind == ClientCommand::Kind::Nothing)
            return;
        for (SimulatedPc *pc : m_pcs)
            pc->enqueue(c);
    }

    // No more commands will come: once everything queued is out, linger and stop.
    void endOfInput()
    {
        m_inputEnded = true;
        checkIdle();
    }

    int exitCode() const { return m_exitCode; }

private:
    void readStdin()
    {
        // A thread of its own, so that a terminal, a pipe or a file all work the same.
        std::thread([this] {
            std::string pending;
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(0, buffer, sizeof buffer)) > 0) {
                pending.append(buffer, size_t(n));
                for (size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
                    const QString line = QString::fromUtf8(pending.data(), qsizetype(eol)).remove(u'\r');
                    pending.erase(0, eol + 1);
                    QMetaObject::invokeMethod(
                        this, [this, line] { command(line); }, Qt::QueuedConnection);
                }
            }
            const QString last = QString::fromUtf8(pending.data(), qsizetype(pending.size()));
            QMetaObject::invokeMethod(
                this,
                [this, last] {
                    command(last);
                    endOfInput();
                },
                Qt::QueuedConnection);
        }).detach();
    }

    void received(SimulatedPc *pc, const QByteArray &message)
    {
        ++m_received;
        if (!m_options.quiet) {
            const QString text = visible(message, m_options.separator);
            printLine(stdout, m_options.multi ? QStringLiteral("[pc %1] ").arg(pc->index()) + text : text);
        }
        if (m_options.expect > 0 && m_received >= m_options.expect)
            finish(0);
        if (!m_options.expectEach.isEmpty() && hasAllTags(pc) && ++m_complete == m_pcs.size())
            finish(0);
        checkIdle();
    }

    bool hasAllTags(SimulatedPc *pc)
    {
        if (m_completePcs.contains(pc))
            return false;
        for (const QByteArray &tag : m_options.expectEach)
            if (!pc->hasSeen(tag))
                return false;
        m_completePcs.insert(pc);
        return true;
    }

    void ended(SimulatedPc *pc, const QString &why)
    {
        if (!m_options.quiet)
            printLine(stderr, QStringLiteral("corvana-client: pc %1: %2").arg(pc->index()).arg(why));
        bool allEnded = true;
        for (SimulatedPc *p : m_pcs)
            allEnded = allEnded && p->hasEnded();
        if (allEnded)
            finish(m_received > 0 ? 0 : 1);
        else
            checkIdle();
    }

    void checkIdle()
    {
        if (!m_inputEnded || m_lingering || m_options.chatty || m_options.duration > 0 || m_options.expect > 0 ||
            !m_options.expectEach.isEmpty())
            return;
        for (SimulatedPc *pc : m_pcs)
            if (!pc->hasEnded() && !pc->isIdle())
                return;
        m_lingering = true;
        QTimer::singleShot(qint64(m_options.linger * 1000), this, [this] { finish(0); });
    }

    void finish(int code)
    {
        if (m_finished)
            return;
        m_finished = true;
        m_exitCode = code;
        qint64 roundTrips = 0;
        int connected = 0;
        for (SimulatedPc *pc : m_pcs) {
            roundTrips += pc->roundTrips();
            connected += pc->isConnected() ? 1 : 0;
            pc->quiet();
        }
        if (m_options.summary)
            printLine(stdout, QStringLiteral("pcs=%1 connected=%2 received=%3 roundtrips=%4 elapsed_ms=%5")
                                  .arg(m_pcs.size())
                                  .arg(connected)
                                  .arg(m_received)
                                  .arg(roundTrips)
                                  .arg(m_clock.elapsed()));
        QCoreApplication::exit(code);
    }

    RunOptions m_options;
    QList<SimulatedPc *> m_pcs;
    QElapsedTimer m_clock;
    qint64 m_received = 0;
    int m_complete = 0;
    QSet<SimulatedPc *> m_completePcs;
    bool m_inputEnded = false;
    bool m_lingering = false;
    bool m_finished = false;
    int m_exitCode = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    raiseFileLimit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvana-client"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates café PCs on the client link. Commands (as arguments, \";\" between several, or one per\n"
        "line on standard input): start | good NO NAME QTY [...] | gets good | gets time |\n"
        "gets card NO PW | vali NAME PW setup|close|shutdown|cardend | talk login NAME EXTRA |\n"
        "talk talk NAME TEXT | talk quit NAME | sele N | prog TITLE NO ... | send TAG FIELD ... |\n"
        "raw HEX-OR-ESCAPED | sleep SECONDS. Received messages are printed with 0x00 shown as \"|\"."));
    parser.addHelpOption();
    const QCommandLineOption host({QStringLiteral("host")}, QStringLiteral("Server address."),
                                  QStringLiteral("H"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port({QStringLiteral("port")}, QStringLiteral("Server port."),
                                  QStringLiteral("P"), QStringLiteral("14914"));
    const QCommandLineOption bind({QStringLiteral("bind")}, QStringLiteral("Local address of a single PC."),
                                  QStringLiteral("ADDR"));
    const QCommandLineOption machine({QStringLiteral("machine")},
                                     QStringLiteral("Machine number to announce (the first one with --pcs)."),
                                     QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption noAnnounce({QStringLiteral("no-announce")},
                                        QStringLiteral("Do not send \"_sele\"."));
    const QCommandLineOption noTrailer({QStringLiteral("no-trailer")},
                                       QStringLiteral("Send requests without the closing 0x00 \"OK$\"."));
    const QCommandLineOption pcs(
        {QStringLiteral("pcs")},
        QStringLiteral("Simulate N PCs (machines N..), each on its own loopback address."),
        QStringLiteral("N"));
    const QCommandLineOption noBind({QStringLiteral("no-bind")},
                                    QStringLiteral("With --pcs: let the system choose local addresses."));
    const QCommandLineOption chatty({QStringLiteral("chatty")},
                                    QStringLiteral("Now and then ask to start or order goods."));
    const QCommandLineOption quiet({QStringLiteral("quiet")},
                                   QStringLiteral("Print no messages, only a summary line at the end."));
    const QCommandLineOption count({QStringLiteral("count")}, QStringLiteral("Same as --quiet."));
    const QCommandLineOption linger({QStringLiteral("linger")},
                                    QStringLiteral("Seconds to wait for replies after the last command."),
                                    QStringLiteral("SECONDS"), QStringLiteral("1.5"));
    const QCommandLineOption duration(
        {QStringLiteral("duration")},
        QStringLiteral("Run this long, then stop (standard input is not awaited). Chatty PCs otherwise run until stopped."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption timeout({QStringLiteral("timeout")}, QStringLiteral("Give up after this long."),
                                     QStringLiteral("SECONDS"));
    const QCommandLineOption expect({QStringLiteral("expect")},
                                    QStringLiteral("Stop once N messages have arrived in all."),
                                    QStringLiteral("N"));
    const QCommandLineOption expectEach(
        {QStringLiteral("expect-each")},
        QStringLiteral("Stop once every PC has received each tag (e.g. _hick,_http)."),
        QStringLiteral("TAGS"));
    const QCommandLineOption repeat(
        {QStringLiteral("repeat")},
        QStringLiteral("Each PC sends COMMAND again whenever its reply has come."),
        QStringLiteral("COMMAND"));
    const QCommandLineOption summary({QStringLiteral("summary")}, QStringLiteral("Print the summary line."));
    const QCommandLineOption separator({QStringLiteral("separator")},
                                       QStringLiteral("How a 0x00 is shown (default \"|\")."),
                                       QStringLiteral("TEXT"), QStringLiteral("|"));
    parser.addOptions({host, port, bind, machine, noAnnounce, noTrailer, pcs, noBind, chatty, quiet, count,
                       linger, duration, timeout, expect, expectEach, repeat, summary, separator});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("Commands to send."),
                                 QStringLiteral("[command ...]"));
    parser.process(app);

    RunOptions options;
    options.multi = parser.isSet(pcs);
    options.pcs = options.multi ? qMax(1, parser.value(pcs).toInt()) : 1;
    options.quiet = parser.isSet(quiet) || parser.isSet(count);
    options.summary = options.quiet || parser.isSet(summary);
    options.linger = parser.value(linger).toDouble();
    options.duration = parser.value(duration).toDouble();
    options.timeout = parser.value(timeout).toDouble();
    options.expect = parser.value(expect).toInt();
    for (const QString &tag : parser.value(expectEach).split(u',', Qt::SkipEmptyParts))
        options.expectEach << tag.trimmed().toLatin1();
    options.separator = parser.value(separator);

    PcSettings settings;
    settings.host = parser.value(host);
    settings.port = quint16(parser.value(port).toUInt());
    settings.announce = !parser.isSet(noAnnounce);
    settings.trailer = !parser.isSet(noTrailer);
    settings.chatty = parser.isSet(chatty);
    options.chatty = settings.chatty;
    if (parser.isSet(repeat)) {
        settings.repeat = parseCommand(parser.value(repeat));
        if (settings.repeat.kind != ClientCommand::Kind::Send) {
            printLine(stderr, QStringLiteral("corvana-client: --repeat needs a request"));
            return 2;
        }
    }

    QList<QHostAddress> binds;
    if (options.multi && !parser.isSet(noBind)) {
        for (int i = 1; i <= options.pcs; ++i)
            binds << SimulatedPc::loopbackAddress(i);
    }
    if (parser.isSet(bind))
        binds = {QHostAddress(parser.value(bind))};

    // Arguments are one command, or several separated by a lone ";".
    QStringList lines;
    QStringList current;
    for (const QString &a : parser.positionalArguments()) {
        if (a == u";") {
            lines << joinArguments(current);
            current.clear();
        } else {
            current << a;
        }
    }
    if (!current.isEmpty())
        lines << joinArguments(current);

    auto *run = new Run(options, settings, binds, parser.value(machine).toInt());
    const bool waitsForStdin = lines.isEmpty() && options.duration <= 0 && options.expect <= 0 &&
                               options.expectEach.isEmpty() && !parser.isSet(repeat);
    run->start(waitsForStdin);
    for (const QString &line : lines)
        run->command(line);
    if (!waitsForStdin)
        run->endOfInput();
    const int code = app.exec();
    fflush(stdout);
    fflush(stderr);
    // The standard-input thread may still be blocked in read(): leave without tearing down.
    _exit(code);
}
