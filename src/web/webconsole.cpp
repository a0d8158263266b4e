#include "webconsole.h"

#include "reports/sheet.h"

#include "accounts/guessthrottle.h"
#include "accounts/passwords.h"
#include "audit/trail.h"
#include "billing/fee.h"
#include "billing/machinelist.h"
#include "billing/supervision.h"
#include "common/clock.h"
#include "common/formats.h"
#include "desk/frontdesk.h"
#include "reports/reportjob.h"
#include "reports/reporttext.h"
#include "store/accounttables.h"
#include "store/countertable.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "store/schema.h"
#include "webpages.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTemporaryDir>

Q_LOGGING_CATEGORY(lcWeb, "corvana.web")

namespace {

const QString kLoginKind = QStringLiteral("网页登录");
const QString kLoginFailedKind = QStringLiteral("网页登录失败");
const QString kLogoutKind = QStringLiteral("网页退出");
constexpr int kMaxNameChars = 64;
constexpr int kMaxPasswordChars = 128;
constexpr int kMaxFilterChars = 64;
// A branch's connection left unused this long is closed.
constexpr qint64 kBranchIdleSeconds = 10 * 60;

QByteArray newNonce()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words).toBase64();
}

WebResponse redirect(const QString &location)
{
    WebResponse r;
    r.status = 303;
    r.addHeader("Location", location.toUtf8());
    return r;
}

WebResponse plain(int status, const QString &text)
{
    WebResponse r;
    r.status = status;
    r.contentType = "text/plain; charset=utf-8";
    r.body = text.toUtf8();
    return r;
}

WebResponse json(const QJsonObject &object, int status = 200)
{
    WebResponse r;
    r.status = status;
    r.contentType = "application/json";
    r.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return r;
}

// An address as people read it: 192.168.1.5 rather than ::ffff:192.168.1.5.
QString readableAddress(const QString &peer)
{
    const QHostAddress address(peer);
    bool v4 = false;
    const quint32 ip4 = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip4).toString() : peer;
}

// The value of the session cookie in a Cookie header; empty when it is not there.
QString sessionToken(const QByteArray &cookieHeader)
{
    const QByteArray prefix = WebConsole::cookieName() + '=';
    for (QByteArray part : cookieHeader.split(';')) {
        part = part.trimmed();
        if (part.startsWith(prefix))
            return QString::fromLatin1(part.mid(prefix.size()));
    }
    return {};
}

QByteArray sessionCookie(const QString &token)
{
    // Max-Age follows the idle expiry: every answer to a logged-in browser renews it.
    return WebConsole::cookieName() + '=' + token.toLatin1() +
           "; Path=/; Secure; HttpOnly; SameSite=Strict; Max-Age=" +
           QByteArray::number(WebSessions::kIdleMinutes * 60);
}

QByteArray clearedCookie()
{
    return WebConsole::cookieName() + "=; Path=/; Secure; HttpOnly; SameSite=Strict; Max-Age=0";
}

// The parameters of a query, each at most once and only those the page knows; empty when
// the query has any other.
std::optional<QHash<QString, QString>> parameters(const QUrlQuery &query, const QStringList &known)
{
    QHash<QString, QString> values;
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (!known.contains(key) || values.contains(key) || value.size() > kMaxFilterChars)
            return std::nullopt;
        values.insert(key, value);
    }
    return values;
}

std::optional<QDate> isoDate(const QString &text)
{
    const QDate d = QDate::fromString(text, Qt::ISODate);
    if (!d.isValid() || text.size() != 10)
        return std::nullopt;
    return d;
}

std::optional<int> wholeNumber(const QString &text, int max)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0 || n > max || text.startsWith(u'+'))
        return std::nullopt;
    return n;
}

QString statusWord(MachineStatus status)
{
    switch (status) {
    case MachineStatus::Billing:
        return QStringLiteral("记费中");
    case MachineStatus::Paused:
        return QStringLiteral("暂停中");
    case MachineStatus::Standby:
        return QStringLiteral("待机");
    case MachineStatus::Off:
    case MachineStatus::Unknown:
        break;
    }
    return QStringLiteral("关机");
}

// A report's download in `format` (".csv" or ".xlsx"), written as the desk's windows write it.
Result<QByteArray> sheetBytes(const ReportSheet &sheet, const QString &format)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return failure(QStringLiteral("无法建立临时文件夹"));
    const QString path = dir.filePath(QStringLiteral("report") + format);
    if (const Result<> written = writeSheet(sheet, path, format == u".csv" ? SheetFormat::Csv : SheetFormat::Xlsx);
        !written)
        return failure(written.error());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(file.errorString());
    return file.readAll();
}

} // namespace

// How a request is answered: copied into replies that wait for reports, so it holds no
// reference to the request or the session.
struct WebConsole::Answer
{
    WebReply reply;
    QByteArray nonce;
    QString operatorName;
    QStringList branches;
    QString branch;

    WebResponse html(const QString &title, const QString &tab, const QString &body, int status = 200) const
    {
        WebResponse r;
        r.status = status;
        r.body = webpages::page({title, tab, operatorName, QString::fromLatin1(nonce), branches, branch}, body);
        return r;
    }
};

// What one request carries through the handlers.
struct WebConsole::Context
{
    const WebRequest &request;
    Answer out;
    QString token;
    const WebSessions::Session *session = nullptr;
    Database *db = nullptr; // the store the pages show
    bool trailKept = true;  // whether it keeps a trail the pages can read

    void reply(WebResponse r) const { out.reply(std::move(r)); }
    WebResponse html(const QString &title, const QString &tab, const QString &body, int status = 200) const
    {
        return out.html(title, tab, body, status);
    }
};

WebConsole::WebConsole(FrontDesk &desk, QObject *parent) : QObject(parent), m_desk(desk) {}

WebConsole::~WebConsole() = default;

void WebConsole::handle(const WebRequest &request, const WebReply &reply)
{
    Context c{request, {{}, newNonce(), {}, {}, {}}, {}, nullptr};
    const QString token = sessionToken(request.cookie);
    if (WebSessions::wellFormed(token)) {
        c.session = m_sessions.touch(token);
        if (c.session) {
            c.token = token;
            c.out.operatorName = c.session->operatorName;
        }
    }
    // Every answer carries the headers against framing, sniffing and foreign scripts, and a
    // logged-in browser's cookie renewed.
    const QByteArray nonce = c.out.nonce;
    const QString liveToken = c.token;
    c.out.reply = [reply, nonce, liveToken, this](WebResponse r) {
        r.addHeader("Content-Security-Policy",
                    "default-src 'none'; style-src 'nonce-" + nonce + "'; script-src 'nonce-" + nonce +
                        "'; connect-src 'self'; img-src 'self'; form-action 'self'; frame-ancestors 'none'; "
                        "base-uri 'none'");
        r.addHeader("X-Frame-Options", "DENY");
        r.addHeader("X-Content-Type-Options", "nosniff");
        // Not no-referrer: with it a form on the page is sent with the Origin "null".
        r.addHeader("Referrer-Policy", "same-origin");
        r.addHeader("Cache-Control", "no-store");
        const bool cookieSet = std::any_of(r.headers.begin(), r.headers.end(),
                                           [](const auto &h) { return h.first == "Set-Cookie"; });
        if (!cookieSet && !liveToken.isEmpty() && m_sessions.touch(liveToken))
            r.addHeader("Set-Cookie", sessionCookie(liveToken));
        reply(std::move(r));
    };
    route(c);
}

void WebConsole::route(Context &c)
{
    const WebRequest &r = c.request;
    const QString &path = r.path;
    const bool get = r.method == "GET";
    const bool post = r.method == "POST";
    static const QStringList pages = {
        QStringLiteral("/"),         QStringLiteral("/login"),        QStringLiteral("/logout"),
        QStringLiteral("/machines"), QStringLiteral("/api/machines"), QStringLiteral("/today"),
        QStringLiteral("/reports"),  QStringLiteral("/reports.csv"),  QStringLiteral("/reports.xlsx"),
        QStringLiteral("/trail"),    QStringLiteral("/branch")};
    if (!pages.contains(path)) {
        c.reply(c.html(QStringLiteral("找不到"), c.session ? QStringLiteral("-") : QString(),
                       webpages::messageBody(QStringLiteral("没有这个页面。")), 404));
        return;
    }
    const bool wantsPost = path == QStringLiteral("/login")
                               ? (get || post)
                               : path == QStringLiteral("/logout") || path == QStringLiteral("/branch");
    if (!(wantsPost ? (post || (get && path == QStringLiteral("/login"))) : get)) {
        WebResponse res = plain(405, QStringLiteral("不支持这种请求"));
        res.addHeader("Allow", path == QStringLiteral("/login") ? "GET, POST" : wantsPost ? "POST" : "GET");
        c.reply(std::move(res));
        return;
    }
    // A form sent from another site is refused: the cookie is SameSite=Strict, and a login
    // must come from this console's own page.
    if (post && !r.origin.isEmpty() && r.origin != "https://" + r.host) {
        c.reply(plain(403, QStringLiteral("来源不符")));
        return;
    }
    if (path == QStringLiteral("/login")) {
        if (post)
            login(c);
        else if (c.session)
            c.reply(redirect(QStringLiteral("/machines")));
        else
            c.reply(c.html(QStringLiteral("登录"), {}, webpages::loginBody({}, {})));
        return;
    }
    if (path == QStringLiteral("/logout")) {
        logout(c);
        return;
    }
    if (!c.session) {
        if (path.startsWith(QStringLiteral("/api/")))
            c.reply(json({{QStringLiteral("error"), QStringLiteral("请重新登录")}}, 401));
        else
            c.reply(redirect(QStringLiteral("/login")));
        return;
    }
    if (m_desk.serverLost()) {
        c.reply(c.html(QStringLiteral("暂时无法查看"), QStringLiteral("-"),
                       webpages::messageBody(QStringLiteral("与数据库服务器的连接中断了，请稍后再试。")),
                       503));
        return;
    }
    if (path == QStringLiteral("/branch")) {
        chooseBranch(c);
        return;
    }
    c.db = storeShown(c);
    if (!c.db) {
        c.reply(c.html(QStringLiteral("暂时无法查看"), QStringLiteral("-"),
                       webpages::messageBody(QStringLiteral("无法连接分店“%1”的数据，请稍后再试。")
                                                 .arg(c.out.branch)),
                       503));
        return;
    }
    if (path == QStringLiteral("/"))
        c.reply(redirect(QStringLiteral("/machines")));
    else if (path == QStringLiteral("/machines") || path == QStringLiteral("/api/machines"))
        machines(c, path == QStringLiteral("/api/machines"));
    else if (path == QStringLiteral("/today"))
        today(c);
    else if (path == QStringLiteral("/trail"))
        trail(c);
    else
        reports(c, path.mid(int(qstrlen("/reports"))));
}

void WebConsole::login(Context &c)
{
    const WebRequest &r = c.request;
    if (!r.contentType.startsWith("application/x-www-form-urlencoded") || r.body.size() > kMaxBodyBytes) {
        c.reply(plain(400, QStringLiteral("请求无效")));
        return;
    }
    // Form encoding writes a blank as "+", which URL decoding leaves alone.
    QByteArray body = r.body;
    body.replace('+', "%20");
    const QUrlQuery form(QString::fromUtf8(body));
    const auto fields = parameters(form, {QStringLiteral("name"), QStringLiteral("password")});
    if (!fields || !fields->contains(QStringLiteral("name")) ||
        fields->value(QStringLiteral("name")).size() > kMaxNameChars) {
        c.reply(plain(400, QStringLiteral("请求无效")));
        return;
    }
    const QString name = fields->value(QStringLiteral("name"));
    const QString password = fields->value(QStringLiteral("password"));
    if (password.size() > kMaxPasswordChars) {
        c.reply(plain(400, QStringLiteral("请求无效")));
        return;
    }
    const QString address = readableAddress(r.peer);
    const QString where = QStringLiteral("地址：%1").arg(address);
    Database &db = m_desk.db();
    auto refuse = [&](int status, const QString &message, const QString &why) {
        m_desk.record(kLoginFailedKind, 0, where + QStringLiteral("，") + why, name);
        c.reply(c.html(QStringLiteral("登录"), {}, webpages::loginBody(message, name), status));
    };
    // The same throttle as the desk's: per name tried, and per address.
    GuessThrottle &throttle = m_desk.throttle();
    const QString subject = GuessThrottle::operatorSubject(name);
    if (throttle.wait(subject, address) > 0) {
        refuse(429, QStringLiteral("尝试次数太多，请稍后再试。"), QStringLiteral("尝试次数太多"));
        return;
    }
    // The desk's own check, without the upgrade of a password kept in clear: the console
    // writes nothing but its trail entries.
    std::optional<Operator> found;
    for (const Operator &op : OperatorTable(db).named(name)) {
        if (passwords::matches(op.password, password)) {
            found = op;
            break;
        }
    }
    if (!found) {
        throttle.failed(subject, address);
        qCWarning(lcWeb) << "failed web login for" << name << "from" << address;
        refuse(401, QStringLiteral("用户名或密码错误，请重试。"), QStringLiteral("用户名或密码错误"));
        return;
    }
    if (found->right != QStringLiteral("C") && found->right != QStringLiteral("D")) {
        refuse(403, QStringLiteral("只有管理员和超级管理员可以网页查看。"), QStringLiteral("权限不足"));
        return;
    }
    if (!c.token.isEmpty())
        m_sessions.close(c.token);
    const QString token = m_sessions.open(found->name, found->right);
    m_desk.record(kLoginKind, 0, where, found->name);
    WebResponse res = redirect(QStringLiteral("/machines"));
    res.addHeader("Set-Cookie", sessionCookie(token));
    c.reply(std::move(res));
}

void WebConsole::logout(Context &c)
{
    if (c.session) {
        m_desk.record(kLogoutKind, 0,
                      QStringLiteral("地址：%1").arg(readableAddress(c.request.peer)),
                      c.session->operatorName);
        m_sessions.close(c.token);
    }
    WebResponse res = redirect(QStringLiteral("/login"));
    res.addHeader("Set-Cookie", clearedCookie());
    c.reply(std::move(res));
}

WebConsole::BranchStore::~BranchStore()
{
    close();
}

void WebConsole::BranchStore::close()
{
    if (db)
        audit::detach(*db);
    db.reset();
}

void WebConsole::chooseBranch(Context &c)
{
    const WebRequest &r = c.request;
    const auto fields = parameters(QUrlQuery(QString::fromUtf8(r.body)), {QStringLiteral("branch"), QStringLiteral("back")});
    const schema::Chain chain = schema::chain(m_desk.db());
    const QString branch = fields ? fields->value(QStringLiteral("branch")) : QString();
    if (!r.contentType.startsWith("application/x-www-form-urlencoded") || r.body.size() > kMaxBodyBytes ||
        !chain.branches.contains(branch)) {
        c.reply(plain(400, QStringLiteral("请求无效")));
        return;
    }
    m_sessions.chooseBranch(c.token, branch == chain.own ? QString() : branch);
    static const QStringList tabs{QStringLiteral("/machines"), QStringLiteral("/today"), QStringLiteral("/reports"),
                                  QStringLiteral("/trail")};
    const QString back = fields->value(QStringLiteral("back"));
    c.reply(redirect(tabs.contains(back) ? back : tabs.first()));
}

Database *WebConsole::storeShown(Context &c)
{
    Database &own = m_desk.db();
    const schema::Chain chain = schema::chain(own);
    c.out.branches = chain.branches;
    c.out.branch = chain.own;
    const QString chosen = c.session->branch;
    const QDateTime now = Clock::now();
    // Reports being read hold their branch's connection: none is closed meanwhile.
    for (auto it = m_branches.begin(); m_batches == 0 && it != m_branches.end();)
        it = it->second.lastUsed.secsTo(now) > kBranchIdleSeconds || it->second.lastUsed > now
                 ? m_branches.erase(it)
                 : std::next(it);
    // A branch no longer in the chain shows the desk's own again.
    if (chosen.isEmpty() || !chain.branches.contains(chosen))
        return &own;
    c.out.branch = chosen;
    BranchStore &b = m_branches[chosen];
    b.lastUsed = now;
    if (!b.db || (b.db->connectionLost() && m_batches == 0)) {
        b.close();
        b.db = std::make_unique<Database>();
        // Read only when asked: nothing here waits on the branch's changes.
        if (!b.db->openServer(schema::branchConnection(m_desk.store().connection(), chain, chosen),
                              Store::key(), false)) {
            qCWarning(lcWeb) << "branch" << chosen << "not reached:" << b.db->lastError();
            m_branches.erase(chosen);
            return nullptr;
        }
        // The branch's own trail; a branch that never kept one shows none.
        const Result<> trail = audit::attach(*b.db, QString());
        b.trailKept = trail.has_value();
        if (!trail)
            qCInfo(lcWeb) << "branch" << chosen << "has no trail:" << trail.error();
    }
    c.trailKept = b.trailKept;
    return b.db.get();
}

void WebConsole::machines(Context &c, bool asJson)
{
    if (!parameters(c.request.query, {})) {
        c.reply(plain(400, QStringLiteral("请求无效")));
        return;
    }
    Database &db = *c.db;
    // The desk's own machines as its list shows them; another branch's from its store.
    const bool own = &db == &m_desk.db();
    const QDateTime now = Clock::now();
    webpages::MachinesView view;
    view.updated = now.toString(QStringLiteral("HH:mm:ss"));
    view.counters = db.sharedByCounters();
    CounterTable counters(db);
    const MachineList &list = m_desk.machineList();
    const std::optional<Tariff> tariff = own ? std::nullopt : std::optional(Tariff::read(db));
    const QList<Machine> machines = MachineTable(db).all();
    const QList<double> goods = own ? QList<double>() : sessionGoods(db, machines);
    int billing = 0;
    int paused = 0;
    for (qsizetype i = 0; i < machines.size(); ++i) {
        const Machine &m = machines.at(i);
        webpages::MachineRow row;
        row.number = m.number;
        row.name = m.name;
        row.status = statusWord(m.status);
        billing += m.status == MachineStatus::Billing;
        paused += m.status == MachineStatus::Paused;
        QStringList columns;
        bool clientGone = false;
        const MachineList::Entry *e = own ? list.at(m.position) : nullptr;
        if (m.inSession() && e) {
            // The figures are the desk's own list texts, as the operator sees them.
            columns = e->columns;
            clientGone = e->clientGone;
        } else if (m.inSession() && tariff) {
            if (const auto shown = FlashListView(m, *tariff, goods.at(i), now))
                for (const std::optional<QString> &text : *shown)
                    columns << text.value_or(QString());
        }
        if (!columns.isEmpty()) {
            row.start = columns.value(1);
            row.due = columns.value(2);
            row.used = columns.value(3);
            row.rate = columns.value(4);
            row.amount = columns.value(5);
            row.goods = columns.value(6);
            row.total = columns.value(7);
            row.customer = columns.value(8);
            if (clientGone)
                row.mark = QStringLiteral("客户端已断开");
            else if (m.due.isValid() && m.due <= now)
                row.mark = QStringLiteral("已到点");
            else if (m.due.isValid() && now.secsTo(m.due) <= 5 * 60)
                row.mark = QStringLiteral("即将到点");
        }
        if (view.counters && !m.ip.isEmpty())
            row.counter = counters.holderOf(m.ip);
        view.machines.append(row);
    }
    view.counts = Supervisor::countsText(billing, paused);
    if (asJson)
        c.reply(json(webpages::machinesJson(view)));
    else
        c.reply(c.html(QStringLiteral("机器"), QStringLiteral("machines"),
                       webpages::machinesBody(view, QString::fromLatin1(c.out.nonce))));
}

void WebConsole::today(Context &c)
{
    if (!parameters(c.request.query, {})) {
        c.reply(plain(400, QStringLiteral("请求无效")));
        return;
    }
    const QDate date = Clock::now().date();
    const ReportPeriod day = dailyPeriod(date);
    QList<ReportRequest> requests;
    for (const ReportKind k : {ReportKind::MachineTime, ReportKind::GoodsSales, ReportKind::Income})
        requests.append({k, day.from, day.to, 0});
    const Answer out = c.out;
    // A shift is the desk's own; another branch's counters keep theirs.
    const std::optional<Shift> shift =
        c.db == &m_desk.db() ? m_desk.shifts().current() : std::optional<Shift>();
    const bool started = runReports(*c.db, requests, [out, date, shift](const QList<const ReportJob *> &jobs) {
        out.reply(out.html(QStringLiteral("今日"), QStringLiteral("today"),
                           webpages::todayBody(date, jobs.at(0)->machineTime(), jobs.at(1)->goodsSales(),
                                               jobs.at(2)->income(), shift)));
    });
    if (!started)
        c.reply(c.html(QStringLiteral("今日"), QStringLiteral("today"),
                       webpages::messageBody(QStringLiteral("正在生成的报表太多，请稍后再试。")), 503));
}

void WebConsole::reports(Context &c, const QString &format)
{
    const auto p =
        parameters(c.request.query, {QStringLiteral("kind"), QStringLiteral("from"), QStringLiteral("to"),
                                     QStringLiteral("machine"), QStringLiteral("preset")});
    if (!p) {
        c.reply(plain(400, QStringLiteral("请求无效")));
        return;
    }
    Database &db = *c.db;
    const QDate today = Clock::now().date();
    ReportRequest request;
    request.kind = ReportKind::Income;
    ReportPeriod period = dailyPeriod(today);
    bool bad = false;
    if (p->contains(QStringLiteral("preset"))) {
        const QString preset = p->value(QStringLiteral("preset"));
        bad = preset != QStringLiteral("daily") && preset != QStringLiteral("monthly");
        if (preset == QStringLiteral("monthly"))
            period = presetPeriod(db, ReportPreset::Monthly, today);
    }
    if (p->contains(QStringLiteral("kind"))) {
        const auto kind = wholeNumber(p->value(QStringLiteral("kind")), int(ReportKind::Income));
        bad = bad || !kind;
        request.kind = ReportKind(kind.value_or(0));
    }
    // A period of whole days, as the desk's daily report has it.
    if (p->contains(QStringLiteral("from"))) {
        const auto from = isoDate(p->value(QStringLiteral("from")));
        bad = bad || !from;
        period.from = QDateTime(from.value_or(today), QTime(0, 0));
    }
    if (p->contains(QStringLiteral("to"))) {
        const auto to = isoDate(p->value(QStringLiteral("to")));
        bad = bad || !to;
        period.to = QDateTime(to.value_or(today), QTime(23, 59, 59));
    }
    if (p->contains(QStringLiteral("machine"))) {
        const auto machine = wholeNumber(p->value(QStringLiteral("machine")), 1000000);
        bad = bad || !machine;
        request.machine = machine.value_or(0);
    }
    if (bad) {
        c.reply(plain(400, QStringLiteral("请求无效")));
        return;
    }
    request.from = period.from;
    request.to = period.to;

    QList<std::pair<int, QString>> machineChoice;
    for (const Machine &m : MachineTable(db).all())
        machineChoice.append({m.number, m.name});
    const QString form = webpages::reportForm(request, machineChoice, QString());
    if (const Result<> ok = request.check(); !ok) {
        if (format.isEmpty())
            c.reply(c.html(QStringLiteral("报表"), QStringLiteral("reports"),
                           webpages::reportForm(request, machineChoice, ok.error()), 400));
        else
            c.reply(plain(400, ok.error()));
        return;
    }
    QUrlQuery again;
    again.addQueryItem(QStringLiteral("kind"), QString::number(int(request.kind)));
    again.addQueryItem(QStringLiteral("from"), request.from.date().toString(Qt::ISODate));
    again.addQueryItem(QStringLiteral("to"), request.to.date().toString(Qt::ISODate));
    again.addQueryItem(QStringLiteral("machine"), QString::number(request.machine));
    const QString query = again.toString(QUrl::FullyEncoded);

    const Answer out = c.out;
    const bool started =
        runReports(db, {request}, [out, form, query, format, today](const QList<const ReportJob *> &jobs) {
            const ReportJob &job = *jobs.first();
            const ReportKind kind = job.request().kind;
            if (format.isEmpty()) {
                QString body = form;
                if (kind == ReportKind::MachineTime)
                    body += webpages::machineTimeBody(job.machineTime(), today, query);
                else if (kind == ReportKind::GoodsSales)
                    body += webpages::styledBody(job.goodsSales().text(today), query, true);
                else
                    body += webpages::styledBody(job.income().text(today), query, true);
                out.reply(out.html(QStringLiteral("报表"), QStringLiteral("reports"), body));
                return;
            }
            const ReportPeriod period{job.request().from, job.request().to};
            const ReportSheet sheet = kind == ReportKind::MachineTime ? job.machineTime().sheet()
                                      : kind == ReportKind::GoodsSales ? job.goodsSales().sheet(period)
                                                                       : job.income().sheet(period);
            const Result<QByteArray> bytes = sheetBytes(sheet, format);
            if (!bytes) {
                out.reply(plain(500, bytes.error()));
                return;
            }
            const QString stem = reportTypeText(kind) +
                                 job.request().from.date().toString(QStringLiteral("yyyyMMdd")) + u'-' +
                                 job.request().to.date().toString(QStringLiteral("yyyyMMdd"));
            WebResponse res;
            res.contentType = format == u".csv"
                                  ? QByteArray("text/csv; charset=utf-8")
                                  : QByteArray("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
            res.body = *bytes;
            const QString file = stem + format;
            res.addHeader("Content-Disposition", "attachment; filename=\"report" + format.toLatin1() +
                                                     "\"; filename*=UTF-8''" + QUrl::toPercentEncoding(file));
            out.reply(std::move(res));
        });
    if (!started)
        c.reply(plain(503, QStringLiteral("正在生成的报表太多，请稍后再试。")));
}

void WebConsole::trail(Context &c)
{
    const auto p =
        parameters(c.request.query, {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("operator"),
                                     QStringLiteral("machine"), QStringLiteral("kind")});
    if (!p) {
        c.reply(plain(400, QStringLiteral("请求无效")));
        return;
    }
    const QDate today = Clock::now().date();
    webpages::TrailFilter f{today, today, p->value(QStringLiteral("operator")).trimmed(), 0,
                            p->value(QStringLiteral("kind")).trimmed()};
    bool bad = false;
    for (const auto &[key, date] :
         {std::pair{QStringLiteral("from"), &f.from}, std::pair{QStringLiteral("to"), &f.to}}) {
        if (!p->value(key).isEmpty()) {
            const auto d = isoDate(p->value(key));
            bad = bad || !d;
            *date = d.value_or(today);
        }
    }
    if (!p->value(QStringLiteral("machine")).isEmpty()) {
        const auto machine = wholeNumber(p->value(QStringLiteral("machine")), 1000000);
        bad = bad || !machine;
        f.machine = machine.value_or(0);
    }
    if (bad) {
        c.reply(plain(400, QStringLiteral("请求无效")));
        return;
    }
    Database &db = *c.db;
    if (!c.trailKept) {
        c.reply(c.html(QStringLiteral("操作记录"), QStringLiteral("trail"),
                       webpages::trailBody(f, {}, kMaxTrailRows, QStringLiteral("该分店没有操作记录"), true,
                                           QString(), db.sharedByCounters())));
        return;
    }
    const QString anchor = audit::anchor(db);
    if (!m_checked || c.out.branch + anchor != m_checkedAnchor) {
        const Result<qint64> verified = audit::verify(db);
        m_checkText = audit::verificationText(verified);
        m_checkIntact = verified.has_value();
        m_checkedAnchor = c.out.branch + anchor;
        m_checked = true;
    }
    const QList<audit::Entry> entries =
        audit::entries(db, QDateTime(f.from, QTime(0, 0)), QDateTime(f.to, QTime(23, 59, 59)), f.operatorName,
                       f.machine, f.kind);
    c.reply(c.html(QStringLiteral("操作记录"), QStringLiteral("trail"),
                   webpages::trailBody(f, entries, kMaxTrailRows, m_checkText, m_checkIntact, anchor,
                                       db.sharedByCounters())));
}

bool WebConsole::runReports(Database &db, const QList<ReportRequest> &requests,
                            std::function<void(const QList<const ReportJob *> &)> done)
{
    if (m_batches >= kMaxReportBatches)
        return false;
    ++m_batches;
    // The jobs live under one holder, deleted once the reply is made (or with the console).
    auto *holder = new QObject(this);
    auto jobs = std::make_shared<QList<ReportJob *>>();
    auto left = std::make_shared<qsizetype>(requests.size());
    for (const ReportRequest &request : requests) {
        auto *job = new ReportJob(db, request, holder);
        jobs->append(job);
        connect(job, &ReportJob::finished, holder, [this, holder, jobs, left, done] {
            if (--*left > 0)
                return;
            --m_batches;
            done(QList<const ReportJob *>(jobs->begin(), jobs->end()));
            holder->deleteLater();
        });
    }
    for (ReportJob *job : *jobs)
        job->start();
    return true;
}
