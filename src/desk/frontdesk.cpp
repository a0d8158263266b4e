#include "frontdesk.h"

#include "audit/trail.h"
#include "billing/changemachine.h"
#include "common/clock.h"
#include "common/formats.h"
#include "common/numbers.h"
#include "goods/purchase.h"
#include "link/linkserver.h"
#include "store/backup.h"
#include "store/goodstables.h"
#include "store/machinetable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcDesk, "corvana.desk")

FrontDesk::FrontDesk(QObject *parent)
    : QObject(parent)
{
    m_runner.setSelect([this](int position) { select(position); });
    m_runner.setRefusal([this] { return refusal(); });
    m_trail.setFailureNotice([this] {
        emit statusNotice(m_store.hasOwnFile() ? QStringLiteral("操作记录写入失败，请检查audit.db")
                                               : QStringLiteral("操作记录写入失败"));
    });
    m_clockTimer.setInterval(1000);
    m_supervisionTimer.setInterval(30000);
    connect(&m_clockTimer, &QTimer::timeout, this, &FrontDesk::tickClock);
    connect(&m_supervisionTimer, &QTimer::timeout, this, &FrontDesk::refresh);
    connect(&m_supervisor, &Supervisor::countsChanged, this, &FrontDesk::countsChanged);
    connect(&m_supervisor, &Supervisor::selectRequested, this, &FrontDesk::select);
    m_backupTimer.setSingleShot(true);
    connect(&m_backupTimer, &QTimer::timeout, this, &FrontDesk::dailyBackup);
    // An entry reaches the trail file a moment after its action, a burst of them together.
    m_trailTimer.setSingleShot(true);
    m_trailTimer.setInterval(2000);
    connect(&m_trailTimer, &QTimer::timeout, this, &FrontDesk::settleTrail);
    // Again at each pass, for what could not be moved before.
    connect(&m_supervisionTimer, &QTimer::timeout, this, &FrontDesk::settleTrail);
    m_trail.setWritten([this] {
        if (!m_trailTimer.isActive())
            m_trailTimer.start();
    });
    // What other counters commit on a server: the list follows it at once.
    connect(&m_watch, &ServerWatch::changed, this, [this](const QSet<QString> &tables) {
        // The link's cached lists see the change themselves (the store's change stamp moved);
        // the PCs here get the web lists another counter edited.
        if (tables.contains(QStringLiteral("yxsjb")))
            followMachines();
        if (m_server && tables.contains(QStringLiteral("quickhttp")))
            m_server->pushQuickHttp();
        if (m_server && tables.contains(QStringLiteral("hickhttp")))
            m_server->pushHickHttp();
        refresh();
    });
    connect(&m_watch, &ServerWatch::lostChanged, this, [this](bool lost) {
        if (lost) {
            emit statusNotice(ServerWatch::lostText());
            return;
        }
        // The new session holds no claim yet: the counter link claims the name again and says
        // how it went.
        if (m_counter)
            m_counter->reclaim();
        else
            emit statusNotice(QStringLiteral("已重新连接数据库服务器"));
        followMachines();
        refresh();
    });
}

FrontDesk::~FrontDesk()
{
    audit::settle(db());
}

Result<> FrontDesk::open(const QString &path)
{
    if (Result<> opened = reopen(path); !opened)
        return opened;
    if (m_store.created() && m_store.hasOwnFile())
        qCWarning(lcDesk) << "no database file was found; created a new one:" << QDir::toNativeSeparators(path);
    else if (m_store.created())
        qCWarning(lcDesk) << "the database server had no tables; created them";
    rebuildList();
    return {};
}

Result<> FrontDesk::reopen(const QString &path)
{
    if (Result<> opened = openStore(path); !opened)
        return opened;
    openTrail(path);
    return {};
}

Result<> FrontDesk::openStore(const QString &path)
{
    QString error;
    if (!m_store.open(path, &error))
        return failure(error);
    if (m_store.sharedByCounters()) {
        const Result<QString> claimed = CounterLink::claim(db());
        if (!claimed) {
            m_store.close();
            return failure(claimed.error());
        }
        m_counterName = *claimed;
    }
    m_runner.setCounter(m_counterName);
    m_watch.start();
    // The café's takings are nobody else's to read.
    if (m_store.hasOwnFile() && QFile::exists(path) &&
        !QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner))
        qCWarning(lcDesk) << "cannot make" << path << "private";
    noteStoreFile();
    return {};
}

void FrontDesk::openTrail(const QString &path)
{
    // The trail lives beside the store file, or in a schema of its own on a server, so a
    // restore of the store never rewinds it.
    const QString trail = QFileInfo(path).dir().filePath(QStringLiteral("audit.db"));
    const Result<> attached = audit::attach(db(), trail);
    m_trail.setOn(bool(attached));
    // What the last run wrote but had no moment to move.
    if (attached)
        audit::settle(db());
    // Nor the operators' hashes.
    if (m_store.hasOwnFile() && QFile::exists(trail) &&
        !QFile::setPermissions(trail, QFile::ReadOwner | QFile::WriteOwner))
        qCWarning(lcDesk) << "cannot make" << trail << "private";
    if (!attached)
        qCWarning(lcDesk) << "the operator trail"
                          << (m_store.hasOwnFile() ? trail : QStringLiteral("on the server"))
                          << "cannot be opened:" << attached.error();
}

void FrontDesk::settleTrail()
{
    if (copying())
        m_trailTimer.start();
    else
        audit::settle(db());
}

void FrontDesk::startDailyBackups()
{
    // After the window is up: the copy of a large store takes a moment.
    m_backupTimer.start(0);
}

void FrontDesk::dailyBackup()
{
    const QString folder = QFileInfo(m_store.path()).dir().filePath(QStringLiteral("backup"));
    const QDateTime now = Clock::now();
    // Again just after the next midnight.
    const QDateTime next(now.date().addDays(1), QTime(0, 0, 5));
    m_backupTimer.start(int(std::clamp<qint64>(now.msecsTo(next), 1000, 24 * 3600 * 1000)));

    const Result<QString> target = backup::dailyTarget(folder, now.date());
    if (!target || target->isEmpty()) {
        dailyBackupDone(folder, target);
        return;
    }
    if (!m_store.hasOwnFile()) {
        const Result<> done = backup::backUp(db(), m_store.path(), *target);
        dailyBackupDone(folder, done ? target : Result<QString>(failure(done.error())));
        return;
    }
    const QString live = m_store.path();
    const QString file = *target;
    const bool started =
        !m_restoring &&
        m_job.start(
            backupWaitText(), this,
            [live, file]() -> Result<QString> {
                if (const Result<> done = backup::backUpFile(live, file); !done)
                    return failure(done.error());
                return file;
            },
            [this, folder](const Result<QString> &written) { dailyBackupDone(folder, written); });
    // The operator's own copy or a restore is running: the day's is taken after it, a minute on.
    if (!started)
        m_backupTimer.start(60 * 1000);
}

void FrontDesk::dailyBackupDone(const QString &folder, const Result<QString> &written)
{
    if (!written) {
        qCWarning(lcDesk) << "automatic backup into" << folder << "failed:" << written.error();
        emit statusNotice(QStringLiteral("自动备份失败：") + written.error());
    } else if (!written->isEmpty()) {
        backup::pruneDaily(folder);
        record(QStringLiteral("自动备份"), 0, *written);
    }
}

bool FrontDesk::startBackup(const QString &target, std::function<void(const Result<> &)> done)
{
    const auto finish = [this, target, done](const Result<> &outcome) {
        if (outcome)
            record(QStringLiteral("数据备份"), 0, target);
        done(outcome);
    };
    if (!m_store.hasOwnFile()) {
        if (m_job.running())
            return false;
        finish(backup::backUp(db(), m_store.path(), target));
        return true;
    }
    if (m_restoring)
        return false;
    const QString live = m_store.path();
    return m_job.start(
        backupWaitText(), this,
        [live, target]() -> Result<QString> {
            if (const Result<> copied = backup::backUpFile(live, target); !copied)
                return failure(copied.error());
            return target;
        },
        [finish](const Result<QString> &written) {
            finish(written ? Result<>() : Result<>(failure(written.error())));
        });
}

void FrontDesk::beginRestore(const QString &chosen)
{
    // What was asked about the old data must not act on the new.
    m_questions.expireAll();
    flushLink();
    record(QStringLiteral("数据还原"), 0, QStringLiteral("从 ") + chosen);
}

Result<> FrontDesk::restoreFrom(const QString &chosen)
{
    if (copying())
        return failure(m_job.running() ? m_job.waitText() : restoreWaitText());
    beginRestore(chosen);
    if (!m_store.hasOwnFile()) {
        const Result<QString> kept = restoreOnServer(chosen);
        followReplacedStore();
        return endRestore(kept);
    }
    const Result<QString> incoming = backup::fetch(m_store.path(), chosen);
    const Result<QString> kept = incoming ? swapFile(*incoming) : Result<QString>(failure(incoming.error()));
    followReplacedStore();
    return endRestore(kept);
}

bool FrontDesk::startRestore(const QString &chosen, std::function<void(const Result<> &)> done)
{
    if (copying())
        return false;
    if (!m_store.hasOwnFile()) {
        done(restoreFrom(chosen));
        return true;
    }
    beginRestore(chosen);
    const QString live = m_store.path();
    m_restoring = m_job.start(
        restoreWaitText(), this, [live, chosen] { return backup::fetch(live, chosen); },
        [this, done](const Result<QString> &incoming) { finishRestore(incoming, done); });
    return m_restoring;
}

void FrontDesk::finishRestore(const Result<QString> &incoming,
                              const std::function<void(const Result<> &)> &done)
{
    if (!incoming) {
        m_restoring = false;
        followReplacedStore();
        done(endRestore(failure(incoming.error())));
        return;
    }
    // Each key derivation of a reopening takes a while on its own: the store in this turn, the
    // trail in the next, the PCs told in the one after. Actions stay refused until then; the
    // PCs' questions read the restored store from this turn on. Timers, not posted calls: a
    // call posted from a posted call runs in the same pass, before the sockets are looked at.
    const Result<QString> kept = swapStore(*incoming);
    followReplacedStore();
    QTimer::singleShot(1, this, [this, kept, done] {
        if (db().isOpen())
            openTrail(m_store.path());
        QTimer::singleShot(1, this, [this, kept, done] {
            m_restoring = false;
            done(endRestore(kept));
        });
    });
}

void FrontDesk::followReplacedStore()
{
    if (m_server)
        m_server->storeReplaced();
    rebuildList();
}

Result<> FrontDesk::endRestore(const Result<QString> &kept)
{
    refresh();
    if (!kept)
        return failure(kept.error());
    return alignPcs(*kept);
}

Result<> FrontDesk::alignPcs(const QString &kept)
{
    QStringList told;
    const auto details = [&] {
        QString text =
            kept.isEmpty() ? QStringLiteral("已还原") : QStringLiteral("已还原，原数据保存为 ") + kept;
        if (!told.isEmpty())
            text += QStringLiteral("；通知各机：") + told.join(QStringLiteral("，"));
        return text;
    };
    // The PCs in use were told things about the old data: each now hears what the restored
    // store says, or it would run free (or stay locked) against its machine's row.
    return m_runner.run({QStringLiteral("数据还原"), 0, details}, [&](Effects &effects) {
        for (const Machine &m : MachineTable(db()).all()) {
            if (!m_link || !m_link->hasConnection(m.ip))
                continue;
            const QString word = m.status == MachineStatus::Billing  ? QStringLiteral("start")
                                 : m.status == MachineStatus::Paused ? QStringLiteral("pause")
                                                                     : QStringLiteral("stop");
            effects.command(m.ip, word);
            told << QStringLiteral("%1号机 %2").arg(m.number).arg(word);
        }
        return Result<>();
    });
}

Result<QString> FrontDesk::swapFile(const QString &incoming)
{
    const Result<QString> kept = swapStore(incoming);
    if (db().isOpen())
        openTrail(m_store.path());
    return kept;
}

Result<QString> FrontDesk::swapStore(const QString &incoming)
{
    const QString path = m_store.path();
    // Nothing is written to the trail until it is attached to the new connection; what waits
    // in the store file goes to the trail file before that file is swapped.
    audit::settle(db());
    m_trail.setOn(false);
    m_store.close();
    const Result<QString> kept = backup::swapIn(path, incoming, Clock::now());
    Result<> reopened = openStore(path);
    if (!reopened && kept && !kept->isEmpty()) {
        qCWarning(lcDesk) << "the restored store does not open:" << reopened.error() << "; putting back" << *kept;
        backup::putBack(path, *kept);
        reopened = openStore(path);
    }
    if (kept && !reopened)
        return failure(reopened.error());
    return kept;
}

Result<QString> FrontDesk::restoreOnServer(const QString &chosen)
{
    // The tables take the backup's rows in one transaction; what they held is kept as a file.
    return backup::restoreInto(db(), chosen, QFileInfo(m_store.path()).dir().path(), Clock::now());
}

QString FrontDesk::storeFileGoneText(const QString &path)
{
    return QStringLiteral("数据库文件“%1”已被删除或不可写").arg(QDir::toNativeSeparators(path));
}

void FrontDesk::noteStoreFile()
{
    struct stat st
    {
    };
    const bool found =
        m_store.hasOwnFile() && ::stat(QFile::encodeName(m_store.path()).constData(), &st) == 0;
    m_fileDevice = found ? quint64(st.st_dev) : 0;
    m_fileInode = found ? quint64(st.st_ino) : 0;
    m_fileGone = false;
}

bool FrontDesk::storeFileIntact()
{
    if (!m_store.hasOwnFile() || !db().isOpen())
        return true;
    const QByteArray path = QFile::encodeName(m_store.path());
    const QByteArray folder = QFile::encodeName(QFileInfo(m_store.path()).absolutePath());
    struct stat st
    {
    };
    // Writable: its owner's write bit (root writes any file, yet a file made read-only means
    // that nobody should), and the file and its folder (the journal goes there) as the system says.
    const bool intact = ::stat(path.constData(), &st) == 0 && quint64(st.st_dev) == m_fileDevice &&
                        quint64(st.st_ino) == m_fileInode && (st.st_mode & S_IWUSR) != 0 &&
                        ::access(path.constData(), W_OK) == 0 && ::access(folder.constData(), W_OK) == 0;
    if (intact == m_fileGone) {
        m_fileGone = !intact;
        if (m_fileGone)
            qCWarning(lcDesk) << "the store file" << m_store.path()
                              << "was deleted, replaced or made read-only";
        emit statusNotice(m_fileGone ? storeFileGoneText(m_store.path())
                                     : QStringLiteral("数据库文件已恢复，可以继续操作"));
    }
    return intact;
}

QString FrontDesk::refusal()
{
    if (m_job.running())
        return m_job.waitText();
    if (m_restoring)
        return restoreWaitText();
    if (!storeFileIntact())
        return storeFileGoneText(m_store.path());
    return QString();
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
    m_supervisor.setPresence(link);
    m_runner.setLink(link);
}

void FrontDesk::attach(LinkServer &server)
{
    if (m_store.sharedByCounters()) {
        m_counter = std::make_unique<CounterLink>(db(), m_watch, m_counterName, server);
        connect(&m_watch, &ServerWatch::messagesArrived, m_counter.get(), &CounterLink::deliver);
        connect(m_counter.get(), &CounterLink::reclaimed, this, [this](bool held, const QString &notice) {
            if (!held) {
                emit statusNotice(QStringLiteral("已重新连接数据库服务器，但") + notice);
                return;
            }
            standByAgain();
            refresh();
            emit statusNotice(QStringLiteral("已重新连接数据库服务器"));
        });
        setLink(m_counter.get());
    } else {
        setLink(&server);
    }
    m_server = &server;
    connect(&server, &QObject::destroyed, this, [this] {
        setLink(nullptr);
        m_server = nullptr;
        m_counter.reset();
    });
    connect(&server, &LinkServer::cardCheckoutApproved, this,
            [this](int position, const QString &card, const QString &password) {
                select(position);
                emit checkoutWithCardRequested(card, password);
            });
    connect(&server, &LinkServer::programListArrived, this, &FrontDesk::programListArrived);
    connect(&server, &LinkServer::notice, this, &FrontDesk::statusNotice);
    connect(&server, &LinkServer::clientGone, this, [this](int position, bool gone) {
        m_list.setClientGone(position, gone);
        if (gone && m_list.at(position))
            emit statusNotice(m_list.at(position)->text + QStringLiteral("的客户端已断开，仍在记费"));
    });
}

void FrontDesk::standByAgain()
{
    // While this counter was away another may have taken its PCs for gone; they are still here.
    const QSet<QString> here = m_counter->connectedHere();
    if (here.isEmpty())
        return;
    const Result<> done = m_runner.run({}, [&]() -> Result<> {
        MachineTable machines(db());
        for (const Machine &m : machines.all())
            if (m.status == MachineStatus::Off && here.contains(m.ip) &&
                !machines.setStatus(m.rowid, MachineStatus::Off, MachineStatus::Standby))
                return failure(db().lastError());
        return {};
    });
    if (!done)
        qCWarning(lcDesk) << "the PCs connected here are not standing by again:" << done.error();
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
    m_list.rebuild(machines, Tariff::read(db()), sessionGoods(db(), machines), Clock::now());
    m_listedMachines.clear();
    for (const Machine &m : machines)
        m_listedMachines.append({m.rowid, m.name});
    if (m_server)
        for (const Machine &m : machines)
            m_list.setClientGone(m.position, m.inSession() && m_server->isClientGone(m.ip));
    if (m_selected < 1 || m_selected > m_list.count())
        m_selected = m_list.count() > 0 ? 1 : 0;
}

void FrontDesk::machinesChanged()
{
    rebuildList();
    refresh();
    select(m_selected);
}

void FrontDesk::machineRemoved(const MachineManagement::Removal &removal)
{
    if (m_server)
        m_server->renumberMachines(removal.renumbered);
    const int before = m_selected;
    rebuildList();
    m_selected = MachineManagement::positionAfterRemoval(before, removal.removed.position, m_list.count());
    refresh();
    select(m_selected);
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

void FrontDesk::tickClock()
{
    // A clock set back would shorten every running session's fee unseen: say so and keep it.
    if (const auto jump = m_clockWatch.check()) {
        const QString moved = ClockJumpWatch::describe(*jump);
        if (const Result<> kept = record(QStringLiteral("系统时间被改动"), 0, moved); !kept)
            qCWarning(lcDesk) << "clock change not recorded:" << kept.error();
        emit statusNotice(QStringLiteral("系统时间被改动：") + moved);
    }
    emit clockChanged(clockText());
}

void FrontDesk::setOperator(const QString &name, const QString &right)
{
    m_operatorName = name;
    m_operatorRight = right;
    m_trail.setOperator(name);
}

Result<> FrontDesk::record(const QString &kind, int machine, const QString &details, const QString &actor)
{
    CommandPath::Action action{kind, machine, [details] { return details; }};
    action.actor = actor;
    return m_runner.run(action, [] { return Result<>(); });
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

void FrontDesk::refresh()
{
    // Each pass looks whether the store file is still there to be written.
    storeFileIntact();
    if (m_watch.lost())
        return;
    // An action whose commit the lost connection left in doubt is settled first.
    if (const QString fate = m_runner.settleInDoubt(); !fate.isEmpty()) {
        Question told;
        told.text = fate;
        told.buttons = Question::Buttons::OkOnly;
        told.seconds = 0;
        m_questions.ask(told, [](Answer) {});
    }
    m_supervisor.pass();
}

void FrontDesk::followMachines()
{
    const QList<Machine> machines = MachineTable(db()).all();
    QList<std::pair<qint64, QString>> now;
    for (const Machine &m : machines)
        now.append({m.rowid, m.name});
    if (now.isEmpty() && db().connectionLost())
        return;
    if (now == m_listedMachines) {
        // A session settled or moved at another counter leaves its entry as one settled here.
        for (const Machine &m : machines) {
            const MachineList::Entry *e = m_list.at(m.position);
            if (!m.inSession() && e && !e->columns.mid(1).join(QString()).isEmpty())
                m_list.clearColumns(m.position);
        }
        return;
    }
    const qint64 selectedRow = m_selected > 0 && m_selected <= m_listedMachines.size()
                                   ? m_listedMachines.at(m_selected - 1).first
                                   : 0;
    rebuildList();
    int position = 0;
    for (int i = 0; i < m_listedMachines.size() && position == 0; ++i)
        if (m_listedMachines.at(i).first == selectedRow)
            position = i + 1;
    // The selected machine itself went: the one now in its place, or the last.
    m_selected = position > 0 ? position : std::min(m_selected, int(m_list.count()));
    select(m_selected);
}

int FrontDesk::numberAt(int position)
{
    const std::optional<Machine> m = MachineTable(db()).at(position);
    return m ? m->number : 0;
}

namespace {

QString sessionDetails(const SessionInput &input)
{
    return QStringLiteral("客户：%1 限时：%2小时%3分钟 预交：%4")
        .arg(input.name, input.hours.isEmpty() ? QStringLiteral("0") : input.hours,
             input.minutes.isEmpty() ? QStringLiteral("0") : input.minutes,
             input.prepaid.isEmpty() ? QStringLiteral("0") : input.prepaid);
}

} // namespace

Result<> FrontDesk::startTiming(int position, const SessionInput &input, bool registerCustomer)
{
    return refreshedAfter(m_runner.run({QStringLiteral("开始记费"), numberAt(position), [&] { return sessionDetails(input); }},
                                       [&](Effects &effects) {
                                           return SessionStart::startTiming(billing(), effects, position, input,
                                                                            registerCustomer);
                                       }));
}

Result<> FrontDesk::startOvernight(int position, const SessionInput &input, bool registerCustomer)
{
    return refreshedAfter(m_runner.run({QStringLiteral("开始通宵"), numberAt(position), [&] { return sessionDetails(input); }},
                                       [&](Effects &effects) {
                                           return SessionStart::startOvernight(billing(), effects, position, input,
                                                                               registerCustomer);
                                       }));
}

Result<> FrontDesk::changeSession(int position, const SessionInput &input)
{
    std::optional<Machine> before;
    const auto details = [&] {
        return QStringLiteral("原到点：%1 原预交：%2 → ")
                   .arg(before && before->due.isValid() ? formatShortDateTime(before->due) : QString(),
                        before ? plainNumber(before->prepaid) : QString()) +
               sessionDetails(input);
    };
    return refreshedAfter(m_runner.run({QStringLiteral("限定时间"), numberAt(position), details}, [&](Effects &effects) {
        before = MachineTable(db()).at(position);
        return SessionStart::changeSession(db(), effects, position, input);
    }));
}

Result<> FrontDesk::changeMachine(int source, int target)
{
    const int to = numberAt(target);
    return refreshedAfter(
        m_runner.run({QStringLiteral("调换计算机"), numberAt(source), [to] { return QStringLiteral("换到%1号机").arg(to); }},
                     [&](Effects &effects) { return ChangeMachine::move(billing(), effects, source, target); }));
}

Result<> FrontDesk::purchase(int machine, const ShoppingList &list)
{
    const auto details = [&] {
        QStringList lines;
        for (const ShoppingList::Line &line : list.lines())
            lines << QStringLiteral("%1×%2").arg(line.name, plainNumber(line.quantity));
        return lines.join(QStringLiteral("，")) + QStringLiteral(" 共") + plainNumber(list.total());
    };
    return refreshedAfter(m_runner.run({QStringLiteral("选购商品"), machine, details},
                                       [&](Effects &) { return Purchase::confirm(db(), machine, list); }));
}

std::unique_ptr<Checkout> FrontDesk::openCheckout(int position)
{
    if (m_watch.lost())
        return nullptr;
    flushLink();
    auto checkout = std::make_unique<Checkout>(billing(), m_operatorName);
    if (!checkout->open(position))
        return nullptr;
    return checkout;
}

Checkout::Outcome FrontDesk::settle(Checkout &checkout, bool shutdown)
{
    const QString paid = QStringLiteral("共收：%1 已收：%2").arg(checkout.receivedText(), checkout.prepaidText());
    Checkout::Outcome outcome = m_runner.run({{}, 0, {}, QStringLiteral("结帐失败")}, [&](Effects &effects) {
        Checkout::Outcome settled = checkout.settle(effects, shutdown);
        if (!settled)
            return settled;
        // An entry per machine settled, with its share; the first also tells what was paid.
        for (const Checkout::Share &share : std::as_const(settled->shares)) {
            QString details = QStringLiteral("应收：%1 实收：%2 优惠：%3")
                                  .arg(plainNumber(share.due), plainNumber(share.received), plainNumber(settled->discount));
            if (&share == &settled->shares.constFirst()) {
                details += u' ' + paid;
                if (!settled->card.isEmpty())
                    details += QStringLiteral(" 储金卡：%1 扣：%2").arg(settled->card, plainNumber(settled->cardCharge));
            }
            effects.record(QStringLiteral("结帐"), share.machine, details);
        }
        return settled;
    });
    if (outcome)
        refresh();
    return outcome;
}
