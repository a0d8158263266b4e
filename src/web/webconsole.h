#pragma once

#include "reports/reportrequest.h"
#include "websessions.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrlQuery>
#include <functional>
#include <map>
#include <memory>

class Database;
class FrontDesk;
class ReportJob;

// A request as the console sees it, whoever parsed it off the wire.
struct WebRequest
{
    QByteArray method; // "GET", "POST", …
    QString path;
    QUrlQuery query;
    QByteArray cookie;      // the Cookie header
    QByteArray origin;      // the Origin header, when the browser sent one
    QByteArray host;        // the Host header
    QByteArray contentType; // of the body
    QByteArray body;
    QString peer; // the browser's address
};

struct WebResponse
{
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;

    void addHeader(const QByteArray &name, const QByteArray &value)
    {
        headers.append(std::pair{name, value});
    }
};

// Answers a request; called once, now or when the figures it needs are read.
using WebReply = std::function<void(WebResponse)>;

// The owner's web console: pages that show the desk's store as it is, for an operator with
// the right "C" or "D" who logged in. It only reads, except for the trail entries of logins
// and logouts. Reports are read by the desk's own report jobs, a chunk per turn of the event
// loop, and the reply waits for them, so nothing a browser asks holds up the desk.
class WebConsole final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxBodyBytes = 4096;
    static constexpr int kMaxReportBatches = 8;
    static constexpr int kMaxTrailRows = 500;

    explicit WebConsole(FrontDesk &desk, QObject *parent = nullptr);
    ~WebConsole() override;

    void handle(const WebRequest &request, const WebReply &reply);

    WebSessions &sessions() { return m_sessions; }
    static QByteArray cookieName() { return "__Host-corvana"; }

private:
    struct Answer;
    struct Context;
    void route(Context &c);
    void login(Context &c);
    void logout(Context &c);
    void chooseBranch(Context &c);
    // The store the pages show: the desk's own, or the chosen branch of its chain read over a
    // connection of its own; null when that branch cannot be reached.
    Database *storeShown(Context &c);
    void machines(Context &c, bool json);
    void today(Context &c);
    void reports(Context &c, const QString &format);
    void trail(Context &c);

    // Reads the reports of `requests` with report jobs, then calls `done` with them; false
    // (nothing started) when too many are being read already.
    bool runReports(Database &db, const QList<ReportRequest> &requests,
                    std::function<void(const QList<const ReportJob *> &)> done);

    FrontDesk &m_desk;
    WebSessions m_sessions;
    struct BranchStore
    {
        BranchStore() = default;
        BranchStore(const BranchStore &) = delete;
        BranchStore &operator=(const BranchStore &) = delete;
        ~BranchStore();
        void close();
        std::unique_ptr<Database> db;
        bool trailKept = false;
        QDateTime lastUsed;
    };
    std::map<QString, BranchStore> m_branches;
    int m_batches = 0;
    // The last chain check, kept until the newest hash (or the branch) changes: the walk reads
    // every entry.
    QString m_checkedAnchor;
    QString m_checkText;
    bool m_checkIntact = false;
    bool m_checked = false;
};
