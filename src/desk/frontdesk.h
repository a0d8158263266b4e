#pragma once

#include "accounts/guessthrottle.h"
#include "accountservice.h"
#include "audit/trail.h"
#include "billing/checkout.h"
#include "billing/machinelist.h"
#include "billing/scope.h"
#include "billing/sessionstart.h"
#include "billing/supervision.h"
#include "commandrunner.h"
#include "common/clock.h"
#include "common/questions.h"
#include "common/result.h"
#include "counterlink.h"
#include "goodsservice.h"
#include "link/deskaccess.h"
#include "loginservice.h"
#include "machines/machinemanagement.h"
#include "machineservice.h"
#include "reportservice.h"
#include "serverwatch.h"
#include "settingsservice.h"
#include "shiftservice.h"
#include "store/backupjob.h"
#include "store/machinerow.h"
#include "store/store.h"
#include "trailservice.h"
#include "weblistservice.h"

#include <QObject>
#include <QTimer>
#include <memory>

class ClientLink;
class LinkServer;
class ShoppingList;

// The non-visual heart of the main window: the open store, the machine list, the selected
// machine, the logged-in operator, the questions to the operator and the two timers. The
// windows act through it: it has the rules below it do the work, then selects and
// refreshes what they changed.
class FrontDesk final : public QObject, public DeskAccess
{
    Q_OBJECT

public:
    explicit FrontDesk(QObject *parent = nullptr);
    ~FrontDesk() override;

    // Opens (or creates) the store at `path` and builds the machine list. On a database server
    // the desk is a counter and claims its name there: a second copy under one name fails.
    Result<> open(const QString &path);
    // Starts the clock and supervision timers.
    void startTimers();

    Store &store() { return m_store; }
    // Whether open() found no database file and created a new, empty one.
    bool storeCreated() const { return m_store.created(); }
    MachineList &machineList() { return m_list; }
    Supervisor &supervisor() { return m_supervisor; }

    // DeskAccess
    Database &db() override { return m_store.db(); }
    const MachineList &machineList() const override { return m_list; }
    QuestionQueue &questions() override { return m_questions; }
    bool isLocked() const override { return m_locked; }
    // Runs one supervision pass now (none while the server connection is lost: what it read
    // would show an empty café).
    void refresh() override;
    GuessThrottle &throttle() override { return m_throttle; }

    // The link to the café's PCs (none while the desk runs without it).
    void setLink(ClientLink *link);
    // On a database server: this counter's name, and its link when a link server is attached.
    QString counterName() const { return m_counterName; }
    CounterLink *counterLink() const { return m_counter.get(); }
    ClientLink *link() const { return m_link; }
    // Takes the link server as the desk's link and follows what it reports; on a database
    // server through this counter's link, which also reaches the other counters' PCs.
    void attach(LinkServer &server);
    // The attached link server, for the operator's commands to the PCs; none without it.
    LinkServer *linkServer() const { return m_server; }
    // What billing operations work on.
    BillingScope billing() { return {db(), m_list, &m_throttle}; }
    // The one path of every action that changes the store.
    CommandPath &commands() override { return m_runner; }
    // What the login box and the web-list windows work through.
    LoginService logins() { return {db(), m_runner, m_throttle}; }
    WebListService webLists() { return {db(), m_runner, m_server}; }
    // This counter's shifts, for the operator logged in.
    ShiftService shifts() { return {db(), m_runner, m_counterName, m_operatorName}; }
    // What the trail window reads.
    TrailService trailView() { return TrailService(db()); }
    // The management windows' services; each asks the right of whoever is logged in at the
    // moment of a call.
    AccountService accounts() { return {db(), m_runner, m_throttle, atDesk()}; }
    GoodsService goods() { return {db(), m_runner, atDesk()}; }
    MachineService machines() { return {db(), m_runner, atDesk()}; }
    SettingsService settings() { return {db(), m_runner, atDesk()}; }
    ReportService reports() { return {db(), atDesk()}; }
    ServiceOperator atDesk()
    {
        return {[this] { return m_operatorName; }, [this] { return m_operatorRight; }};
    }

    // Rebuilds the machine list from the machine table.
    void rebuildList();
    // Machines were added or changed: the list is rebuilt with the same machine selected.
    void machinesChanged();
    // A machine was deleted and the later ones renumbered: the link's connection table follows
    // the new numbers, and the selection stays on the same machine (or the one that took the
    // deleted one's place).
    void machineRemoved(const MachineManagement::Removal &removal);

    // The selected machine: its 1-based list position (0 when the list is empty).
    int selected() const { return m_selected; }
    void select(int position);
    // The selected machine's row as stored now.
    std::optional<Machine> selectedMachine();

    // The logged-in operator; empty until a login, the right "D" without operators.
    QString operatorName() const { return m_operatorName; }
    QString operatorRight() const { return m_operatorRight; }
    void setOperator(const QString &name, const QString &right);
    // The one-second tick: the clock shown, and a system time set more than two minutes either
    // way recorded in the trail and said in the status bar.
    void tickClock();

    // The desktop lock: while on, clients' requests to start, order and settle are refused.
    void setLocked(bool locked) { m_locked = locked; }

    QString clockText() const;

    // The operator's billing commands on the machine at `position` (the selected one).
    Result<> startTiming(int position, const SessionInput &input, bool registerCustomer);
    Result<> startOvernight(int position, const SessionInput &input, bool registerCustomer);
    Result<> changeSession(int position, const SessionInput &input);
    Result<> changeMachine(int source, int target);
    // Books the goods of `list` to machine number `machine`.
    Result<> purchase(int machine, const ShoppingList &list);
    // A checkout for the machine at `position`, opened; none when there is no such machine.
    std::unique_ptr<Checkout> openCheckout(int position);
    // Settles `checkout` (and shuts the PC down with `shutdown`); the last machine settled is
    // selected afterwards. Nothing is sent or cleared unless the settlement is stored.
    Checkout::Outcome settle(Checkout &checkout, bool shutdown);

    // The operator trail (audit.db beside the store): an action of the desk and its entry
    // are written in one transaction.
    bool hasTrail() const { return m_trail.isOn(); }
    // An entry for an action that writes nothing else (a login, a lock), naming `actor` (empty:
    // the operator logged in).
    Result<> record(const QString &kind, int machine, const QString &details, const QString &actor = QString());

    // Replaces the store by the backup `chosen`: questions still waiting are answered as timed
    // out first, the current file is kept beside it, and when the restored file will not open
    // after all the kept one is put back. Afterwards the desk runs on whatever store is in
    // place, the list is rebuilt, the PCs still connected are matched again and each is told
    // what the restored store says of its machine (stop, start or pause; in the trail too).
    Result<> restoreFrom(const QString &chosen);
    // The same, with the copy and check of `chosen` beside the desk's work, and the store and
    // the trail opened again in turns of their own; `done` gets the outcome. Actions are
    // refused until then. False (nothing done) while another copy runs.
    bool startRestore(const QString &chosen, std::function<void(const Result<> &)> done);
    // "数据备份" to `target` beside the desk's work (on a server the tables are written out at
    // once); `done` gets the outcome, recorded in the trail. False while another copy runs.
    bool startBackup(const QString &target, std::function<void(const Result<> &)> done);
    // Whether a backup or a restore is being copied: actions that write are refused meanwhile,
    // with backupWaitText() or its restore's counterpart.
    bool copying() const { return m_job.running() || m_restoring; }
    static QString backupWaitText() { return QStringLiteral("正在备份数据，请稍候…"); }
    static QString restoreWaitText() { return QStringLiteral("正在还原数据，请稍候…"); }
    // The automatic backup of the day into backup/ beside the store, and again each midnight.
    void startDailyBackups();

    // Whether the store file is still the one opened (same device and inode) and writable;
    // always on a server. While it is not, actions are refused with storeFileGoneText().
    bool storeFileIntact();
    static QString storeFileGoneText(const QString &path);

    // On a database server: whether the connection is lost (the desk retries every 5 s; the
    // operations fail with ServerWatch::lostText() meanwhile).
    bool serverLost() const { return m_watch.lost(); }

signals:
    void clockChanged(const QString &text);
    void countsChanged(const QString &text);
    // The selected machine changed (or was selected again); `tooltip` is its status text.
    void selectionChanged(int position, const QString &tooltip);
    // A client's request to settle with a card was approved: open checkout for the selected
    // machine with the card filled in.
    void checkoutWithCardRequested(const QString &card, const QString &password);
    // A client sent the list of its running programs: (title, number) pairs.
    void programListArrived(int slot, const QStringList &titlesAndNumbers);
    // What the operator should notice without being asked: something that runs on its own
    // failed (an automatic backup, the trail), a billing PC dropped off.
    void statusNotice(const QString &text);

private:
    Result<> reopen(const QString &path);
    // The two halves of reopen(), each with a key derivation: the store, then its trail.
    Result<> openStore(const QString &path);
    void openTrail(const QString &path);
    // The steps of a restore: what comes before the copy, the swap of the fetched copy (both
    // give the name of the copy kept of what was replaced; swapStore() leaves the trail
    // detached), the link and the list following the new store, and what follows.
    void beginRestore(const QString &chosen);
    Result<QString> swapFile(const QString &incoming);
    Result<QString> swapStore(const QString &incoming);
    void followReplacedStore();
    Result<QString> restoreOnServer(const QString &chosen);
    Result<> endRestore(const Result<QString> &kept);
    // After the copy beside the desk's work: the swap and each reopening in a turn of the
    // event loop of its own, so the PCs are answered in between.
    void finishRestore(const Result<QString> &incoming, const std::function<void(const Result<> &)> &done);
    // Tells each connected PC what the restored store says of its machine.
    Result<> alignPcs(const QString &kept);
    void dailyBackup();
    // Moves the trail entries written with their actions into the trail file, unless a backup
    // or a restore is copying (then again after it).
    void settleTrail();
    void dailyBackupDone(const QString &folder, const Result<QString> &written);
    // Notes which file the store is (after every opening) and whether it still is.
    void noteStoreFile();
    QString refusal();
    // The number of the machine at list position `position`; 0 when there is none.
    int numberAt(int position);
    // After this counter claimed its name again: its PCs turned off meanwhile stand by again.
    void standByAgain();
    // Brings what the link holds back into the store before the desk reads it.
    void flushLink();
    Result<> refreshedAfter(Result<> done);
    // Rebuilds the list when machines were added, removed or renamed elsewhere; the same
    // machine (by row key) stays selected. Otherwise clears the entries of sessions that ended
    // elsewhere.
    void followMachines();

    Store m_store;
    MachineList m_list;
    QuestionQueue m_questions;
    GuessThrottle m_throttle;
    audit::Recorder m_trail{m_store.db()};
    ServerWatch m_watch{m_store.db()};
    CommandRunner m_runner{m_store.db(), m_watch, m_trail};
    Supervisor m_supervisor{m_store.db(), m_list, m_questions, m_runner};
    ClientLink *m_link = nullptr;
    LinkServer *m_server = nullptr;
    QTimer m_clockTimer;
    ClockJumpWatch m_clockWatch;
    QTimer m_supervisionTimer;
    int m_selected = 0;
    QString m_operatorName;
    QString m_operatorRight;
    bool m_locked = false;
    QTimer m_backupTimer;
    QTimer m_trailTimer;
    BackupJob m_job;
    // From the start of a restore beside the desk's work until its last step is done.
    bool m_restoring = false;
    // The store file as opened: device and inode; whether it was last found gone.
    quint64 m_fileDevice = 0;
    quint64 m_fileInode = 0;
    bool m_fileGone = false;
    // Row key and name of each machine in list order, as the list was last built.
    QList<std::pair<qint64, QString>> m_listedMachines;
    QString m_counterName;
    std::unique_ptr<CounterLink> m_counter;
};
