#include "webpages.h"

#include "reports/reporttext.h"

#include <QJsonArray>
#include <QUrlQuery>

namespace webpages {

namespace {

// Phone first: one column, tables that scroll sideways inside their box; the machine table
// turns into one card per machine where a row would not fit.
const QString kStyle = QStringLiteral(R"(
*{box-sizing:border-box}
body{margin:0;font:15px/1.5 "WenQuanYi Micro Hei","Noto Sans CJK SC","Microsoft YaHei",sans-serif;color:#1d232a;background:#f2f4f6}
header{background:#24415f;color:#fff;padding:8px 12px;display:flex;flex-wrap:wrap;align-items:center;gap:6px 14px}
header .brand{font-weight:bold;font-size:17px}
nav{display:flex;flex-wrap:wrap;gap:4px}
nav a{color:#dbe6f2;text-decoration:none;padding:4px 10px;border-radius:4px}
nav a.on{background:#fff;color:#24415f;font-weight:bold}
header .who{margin-left:auto;display:flex;align-items:center;gap:8px;font-size:14px}
header form{margin:0}
header .branch{display:flex;align-items:center;gap:6px;font-size:14px}
button,input,select{font:inherit}
button{padding:5px 14px;border:1px solid #24415f;border-radius:4px;background:#24415f;color:#fff;cursor:pointer}
header button{background:transparent;border-color:#dbe6f2;padding:2px 10px}
main{padding:12px;max-width:1240px;margin:0 auto}
h1{font-size:19px;margin:4px 0 10px}
h2{font-size:16px;margin:18px 0 8px}
.box{background:#fff;border-radius:6px;box-shadow:0 1px 2px rgba(0,0,0,.12);padding:10px 12px;margin-bottom:12px}
.scroll{overflow-x:auto}
table{border-collapse:collapse;width:100%;background:#fff}
th,td{padding:5px 8px;border-bottom:1px solid #e3e7eb;text-align:left;white-space:nowrap}
th{background:#e8edf2;font-weight:normal;color:#3b4754}
td.num,th.num{text-align:right}
.counts{font-size:17px;font-weight:bold}
.muted{color:#66717c;font-size:13px}
.tag{display:inline-block;padding:0 6px;border-radius:3px;font-size:13px}
.s-billing{background:#dff3e4;color:#17612c}.s-paused{background:#fff1c9;color:#7a5600}
.s-standby{background:#e2ecf8;color:#24415f}.s-off{background:#eceff1;color:#66717c}
.mark{background:#fbe1e1;color:#a31515;font-weight:bold}
tr.alert td{background:#fff6f6}
.figures{display:grid;grid-template-columns:repeat(auto-fill,minmax(150px,1fr));gap:8px}
.figure{background:#fff;border-radius:6px;box-shadow:0 1px 2px rgba(0,0,0,.12);padding:8px 10px}
.figure b{display:block;font-size:19px}
.figure.main b{color:#17612c}
form.filters{display:flex;flex-wrap:wrap;gap:8px 12px;align-items:flex-end}
form.filters label{display:flex;flex-direction:column;font-size:13px;color:#3b4754}
form.filters input,form.filters select{padding:4px 6px;border:1px solid #b9c3cc;border-radius:4px;min-width:0}
.report{white-space:pre;font-family:"WenQuanYi Micro Hei Mono","WenQuanYi Micro Hei",monospace;font-size:13px;overflow-x:auto;background:#fff;padding:10px}
.report .b{font-weight:bold}.report .i{font-style:italic}.report .c{display:block;text-align:center}
.links a{margin-right:14px}
.error{color:#a31515;font-weight:bold}
.ok{color:#17612c;font-weight:bold}
.login{max-width:360px;margin:40px auto}
.login label{display:block;margin:10px 0 2px}
.login input{width:100%;padding:7px;border:1px solid #b9c3cc;border-radius:4px}
.login button{margin-top:14px;width:100%;padding:8px}
.hash{font-family:monospace;word-break:break-all}
@media (max-width:640px){
 header .who{margin-left:0;width:100%;justify-content:space-between}
 table.cards thead{display:none}
 table.cards,table.cards tbody,table.cards tr,table.cards td{display:block;width:100%}
 table.cards tr{margin-bottom:8px;border-radius:6px;box-shadow:0 1px 2px rgba(0,0,0,.12);background:#fff}
 table.cards td{border:0;padding:2px 10px;white-space:normal}
 table.cards td:empty{display:none}
 table.cards td[data-label]::before{content:attr(data-label) "：";color:#66717c}
 table.cards td.head{font-weight:bold;background:#e8edf2;border-radius:6px 6px 0 0;padding:4px 10px}
 td.num{text-align:left}
}
)");

// Refreshes the machine table every 5 s from its JSON; every text is put in as text.
const QString kMachinesScript = QStringLiteral(R"(
(function(){
 var cols=[['start','开机时间'],['due','到点时间'],['used','已用时间'],['rate','单价'],['amount','金额'],['goods','其他费用'],['total','总金额'],['customer','用户']];
 function cell(tr,text,label,cls){var td=document.createElement('td');td.textContent=text;if(label)td.setAttribute('data-label',label);if(cls)td.className=cls;tr.appendChild(td);return td;}
 function show(d){
  document.getElementById('counts').textContent=d.counts;
  document.getElementById('updated').textContent=d.updated;
  var body=document.getElementById('machines');
  var rows=document.createDocumentFragment();
  d.machines.forEach(function(m){
   var tr=document.createElement('tr');if(m.mark)tr.className='alert';
   cell(tr,m.label,'','head');
   var st=cell(tr,'','状态');var tag=document.createElement('span');tag.className='tag s-'+m.statusClass;tag.textContent=m.status;st.appendChild(tag);
   if(m.mark){var mk=document.createElement('span');mk.className='tag mark';mk.textContent=m.mark;st.appendChild(document.createTextNode(' '));st.appendChild(mk);}
   cols.forEach(function(c){cell(tr,m[c[0]],m[c[0]]?c[1]:'',c[0]=='start'||c[0]=='due'||c[0]=='used'||c[0]=='customer'?'':'num');});
   if(d.counters)cell(tr,m.counter,'柜台');
   rows.appendChild(tr);
  });
  body.replaceChildren(rows);
 }
 function poll(){
  fetch('/api/machines',{credentials:'same-origin',cache:'no-store'}).then(function(r){
   if(r.status==401){location.href='/login';return null;}
   return r.ok?r.json():null;
  }).then(function(d){if(d)show(d);}).catch(function(){});
 }
 setInterval(poll,5000);
})();
)");

QString statusClass(const QString &status)
{
    if (status == QStringLiteral("记费中"))
        return QStringLiteral("billing");
    if (status == QStringLiteral("暂停中"))
        return QStringLiteral("paused");
    if (status == QStringLiteral("待机"))
        return QStringLiteral("standby");
    return QStringLiteral("off");
}

// "3号机" says its number already; a name of the café's own gets the number before it.
QString machineLabel(const MachineRow &m)
{
    const QString number = QString::number(m.number);
    return m.name.startsWith(number) ? m.name : number + QStringLiteral("  ") + m.name;
}

QString td(const QString &text, const QString &label = QString(), bool number = false)
{
    QString cell = QStringLiteral("<td");
    if (!label.isEmpty() && !text.isEmpty())
        cell += QStringLiteral(" data-label=\"%1\"").arg(escaped(label));
    if (number)
        cell += QStringLiteral(" class=\"num\"");
    return cell + u'>' + escaped(text) + QStringLiteral("</td>");
}

QString figure(const QString &label, const QString &value, const QString &id = QString(), bool main = false)
{
    return QStringLiteral("<div class=\"figure%1\">%2<b%3>%4</b></div>")
        .arg(main ? QStringLiteral(" main") : QString(), escaped(label),
             id.isEmpty() ? QString() : QStringLiteral(" id=\"%1\"").arg(id), escaped(value));
}

QString option(const QString &value, const QString &text, bool selected)
{
    return QStringLiteral("<option value=\"%1\"%2>%3</option>")
        .arg(escaped(value), selected ? QStringLiteral(" selected") : QString(), escaped(text));
}

QString downloads(const QString &query)
{
    return QStringLiteral("<p class=\"links\"><a id=\"csv\" href=\"/reports.csv?%1\">下载CSV</a>"
                          "<a id=\"xlsx\" href=\"/reports.xlsx?%1\">下载XLSX</a></p>")
        .arg(escaped(query));
}

QString hoursMinutes(qint64 minutes)
{
    return QStringLiteral("%1小时%2分钟").arg(minutes / 60).arg(minutes % 60);
}

} // namespace

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QByteArray page(const Frame &frame, const QString &body)
{
    QString nav;
    if (!frame.tab.isEmpty()) {
        const QList<std::pair<QString, QString>> tabs = {
            {QStringLiteral("machines"), QStringLiteral("机器")},
            {QStringLiteral("today"), QStringLiteral("今日")},
            {QStringLiteral("reports"), QStringLiteral("报表")},
            {QStringLiteral("trail"), QStringLiteral("操作记录")}};
        nav = QStringLiteral("<nav>");
        for (const auto &[path, label] : tabs)
            nav += QStringLiteral("<a href=\"/%1\"%2>%3</a>")
                       .arg(path, path == frame.tab ? QStringLiteral(" class=\"on\"") : QString(), label);
        nav += QStringLiteral("</nav>");
        if (frame.branches.size() > 1) {
            QString options;
            for (const QString &b : frame.branches)
                options += QStringLiteral("<option%1>%2</option>")
                               .arg(b == frame.branch ? QStringLiteral(" selected") : QString(), escaped(b));
            nav += QStringLiteral("<form class=\"branch\" method=\"post\" action=\"/branch\">"
                                  "<label for=\"branch\">分店</label><select id=\"branch\" name=\"branch\">%1</select>"
                                  "<input type=\"hidden\" name=\"back\" value=\"/%2\"><button id=\"showBranch\">查看</button></form>")
                       .arg(options, frame.tab);
        }
        nav +=
            QStringLiteral(
                "<div class=\"who\"><span>%1</span>"
                "<form method=\"post\" action=\"/logout\"><button id=\"logout\">退出</button></form></div>")
                .arg(escaped(frame.operatorName));
    }
    const QString html =
        QStringLiteral(
            "<!DOCTYPE html><html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
            "<title>%1 - Corvana</title><style nonce=\"%2\">%3</style></head>"
            "<body><header><span class=\"brand\">Corvana</span>%4</header><main>%5</main></body></html>")
            .arg(escaped(frame.title), frame.nonce, kStyle, nav, body);
    return html.toUtf8();
}

QString loginBody(const QString &message, const QString &name)
{
    return QStringLiteral(
               "<div class=\"box login\"><h1>登录</h1>%1"
               "<form method=\"post\" action=\"/login\">"
               "<label for=\"name\">用户名称</label>"
               "<input id=\"name\" name=\"name\" autocomplete=\"username\" value=\"%2\" required>"
               "<label for=\"password\">密码</label>"
               "<input id=\"password\" name=\"password\" type=\"password\" autocomplete=\"current-password\">"
               "<button id=\"submit\">登录</button></form>"
               "<p class=\"muted\">只有管理员和超级管理员可以登录。</p></div>")
        .arg(message.isEmpty()
                 ? QString()
                 : QStringLiteral("<p class=\"error\" id=\"message\">%1</p>").arg(escaped(message)),
             escaped(name));
}

QJsonObject machinesJson(const MachinesView &view)
{
    QJsonArray machines;
    for (const MachineRow &m : view.machines)
        machines.append(QJsonObject{{QStringLiteral("number"), m.number},
                                    {QStringLiteral("label"), machineLabel(m)},
                                    {QStringLiteral("status"), m.status},
                                    {QStringLiteral("statusClass"), statusClass(m.status)},
                                    {QStringLiteral("start"), m.start},
                                    {QStringLiteral("due"), m.due},
                                    {QStringLiteral("used"), m.used},
                                    {QStringLiteral("rate"), m.rate},
                                    {QStringLiteral("amount"), m.amount},
                                    {QStringLiteral("goods"), m.goods},
                                    {QStringLiteral("total"), m.total},
                                    {QStringLiteral("customer"), m.customer},
                                    {QStringLiteral("mark"), m.mark},
                                    {QStringLiteral("counter"), m.counter}});
    return {{QStringLiteral("counts"), view.counts},
            {QStringLiteral("updated"), view.updated},
            {QStringLiteral("counters"), view.counters},
            {QStringLiteral("machines"), machines}};
}

QString machinesBody(const MachinesView &view, const QString &nonce)
{
    QString rows;
    for (const MachineRow &m : view.machines) {
        QString status = QStringLiteral("<td data-label=\"状态\"><span class=\"tag s-%1\">%2</span>")
                             .arg(statusClass(m.status), escaped(m.status));
        if (!m.mark.isEmpty())
            status += QStringLiteral(" <span class=\"tag mark\">%1</span>").arg(escaped(m.mark));
        rows += QStringLiteral("<tr%1><td class=\"head\">%2</td>%3</td>")
                    .arg(m.mark.isEmpty() ? QString() : QStringLiteral(" class=\"alert\""),
                         escaped(machineLabel(m)), status);
        rows += td(m.start, QStringLiteral("开机时间")) + td(m.due, QStringLiteral("到点时间")) +
                td(m.used, QStringLiteral("已用时间")) + td(m.rate, QStringLiteral("单价"), true) +
                td(m.amount, QStringLiteral("金额"), true) + td(m.goods, QStringLiteral("其他费用"), true) +
                td(m.total, QStringLiteral("总金额"), true) + td(m.customer, QStringLiteral("用户"));
        if (view.counters)
            rows += td(m.counter, QStringLiteral("柜台"));
        rows += QStringLiteral("</tr>");
    }
    return QStringLiteral(
               "<h1>机器</h1><div class=\"box\"><span class=\"counts\" id=\"counts\">%1</span> "
               "<span class=\"muted\">更新于 <span id=\"updated\">%2</span>，每5秒刷新</span></div>"
               "<div class=\"scroll\"><table class=\"cards\"><thead><tr><th>机器</th><th>状态</th>"
               "<th>开机时间</th><th>到点时间</th><th>已用时间</th><th class=\"num\">单价</th>"
               "<th class=\"num\">金额</th><th class=\"num\">其他费用</th><th class=\"num\">总金额</th>"
               "<th>用户</th>%3</tr></thead><tbody id=\"machines\">%4</tbody></table></div>"
               "<script nonce=\"%5\">%6</script>")
        .arg(escaped(view.counts), escaped(view.updated),
             view.counters ? QStringLiteral("<th>柜台</th>") : QString(), rows, nonce, kMachinesScript);
}

QString todayBody(const QDate &today, const MachineTimeReport &sessions, const GoodsSalesReport &goods,
                  const IncomeReport &income, const std::optional<Shift> &shift)
{
    QString body = QStringLiteral("<h1>今日 <span class=\"muted\">%1</span></h1><div class=\"figures\">")
                       .arg(escaped(reportDate(today)));
    body +=
        figure(QStringLiteral("总收入"), centsOneDecimal(income.totalCents()), QStringLiteral("total"), true);
    body += figure(QStringLiteral("上机实收"), centsOneDecimal(income.receivedCents()),
                   QStringLiteral("received"));
    body += figure(QStringLiteral("上机应收"), centsOneDecimal(income.dueCents()));
    body += figure(QStringLiteral("上机时间"), hoursMinutes(income.minutes()));
    body += figure(QStringLiteral("结帐次数"), QString::number(sessions.rows().size()));
    body += figure(QStringLiteral("商品零售"), centsOneDecimal(income.goodsSalesCents()));
    body += figure(QStringLiteral("柜台零售"), centsOneDecimal(income.counterSalesCents()));
    body += figure(QStringLiteral("商品支出"), centsOneDecimal(income.goodsCostCents()));
    body += QStringLiteral("</div>");

    if (shift) {
        body += QStringLiteral("<h2>本班 <span class=\"muted\">%1 %2起</span></h2><div class=\"figures\">")
                    .arg(escaped(shift->operatorName), escaped(shift->start.toString(QStringLiteral("HH:mm"))));
        const auto money = [](double yuan) { return centsOneDecimal(toCents(yuan)); };
        body += figure(QStringLiteral("应有现金"), money(shift->expected()), QStringLiteral("drawer"), true);
        body += figure(QStringLiteral("现金结帐"), money(shift->takings.sessionCash));
        body += figure(QStringLiteral("储金卡结帐"), money(shift->takings.cardPaid));
        body += figure(QStringLiteral("售卡及充值"), money(shift->takings.cardSales));
        body += figure(QStringLiteral("柜台零售"), money(shift->takings.counterSales));
        body += figure(QStringLiteral("上班备用金"), money(shift->openingFloat));
        body += QStringLiteral("</div>");
    }

    body += QStringLiteral("<h2>今日结帐（%1次）</h2>").arg(sessions.rows().size());
    if (sessions.rows().isEmpty()) {
        body += QStringLiteral("<p class=\"muted\">今天还没有结帐。</p>");
    } else {
        body += QStringLiteral(
            "<div class=\"scroll\"><table><thead><tr><th>机号</th><th>开始时间</th><th>结束时间</th>"
            "<th>方式</th><th class=\"num\">应收款</th><th class=\"num\">实收款</th><th>结帐人</th>"
            "<th>客户</th></tr></thead><tbody>");
        // Newest first: the owner looks for what just happened.
        for (auto it = sessions.rows().crbegin(); it != sessions.rows().crend(); ++it) {
            const QStringList c = MachineTimeReport::rowTexts(*it);
            body += QStringLiteral("<tr>") + td(c.value(1)) + td(c.value(2)) + td(c.value(3)) +
                    td(c.value(4)) + td(c.value(5), {}, true) + td(c.value(6), {}, true) + td(it->cashier) +
                    td(it->customer) + QStringLiteral("</tr>");
        }
        body += QStringLiteral("</tbody></table></div>");
    }

    body += QStringLiteral("<h2>今日商品（%1笔）</h2>").arg(goods.lines().size());
    if (goods.lines().isEmpty()) {
        body += QStringLiteral("<p class=\"muted\">今天还没有卖出商品。</p>");
    } else {
        body +=
            QStringLiteral("<div class=\"scroll\"><table><thead><tr><th>机号</th><th>时间</th><th>商品</th>"
                           "<th class=\"num\">单价</th><th class=\"num\">数量</th><th class=\"num\">金额</th>"
                           "</tr></thead><tbody>");
        for (auto it = goods.lines().crbegin(); it != goods.lines().crend(); ++it) {
            const GoodsLine &l = *it;
            const QString where =
                l.sale.machine > 0 ? QStringLiteral("%1号机").arg(l.sale.machine) : QStringLiteral("零售");
            body += QStringLiteral("<tr>") + td(where) + td(l.sale.time.mid(11, 5)) +
                    td(l.name.isEmpty() ? l.sale.article : l.name) +
                    td(centsOneDecimal(l.priceCents), {}, true) +
                    td(QString::number(l.sale.quantity), {}, true) +
                    td(centsOneDecimal(l.amountCents), {}, true) + QStringLiteral("</tr>");
        }
        body += QStringLiteral("</tbody></table></div>");
    }
    return body;
}

QString reportForm(const ReportRequest &request, const QList<std::pair<int, QString>> &machines,
                   const QString &error)
{
    QString kinds;
    for (const ReportKind k : {ReportKind::MachineTime, ReportKind::GoodsSales, ReportKind::Income})
        kinds += option(QString::number(int(k)), reportTypeText(k), k == request.kind);
    QString choice = option(QStringLiteral("0"), QStringLiteral("全部计算机"), request.machine == 0);
    for (const auto &[number, name] : machines)
        choice += option(QString::number(number), name, number == request.machine);
    return QStringLiteral("<h1>报表</h1><form class=\"filters box\" method=\"get\" action=\"/reports\">"
                          "<label>报表类型<select name=\"kind\" id=\"kind\">%1</select></label>"
                          "<label>从<input type=\"date\" name=\"from\" id=\"from\" value=\"%2\"></label>"
                          "<label>到<input type=\"date\" name=\"to\" id=\"to\" value=\"%3\"></label>"
                          "<label>选择计算机<select name=\"machine\">%4</select></label>"
                          "<button id=\"generate\">生成报表</button>"
                          "<span class=\"links\"><a href=\"/reports?preset=daily\">日报表</a>"
                          "<a href=\"/reports?preset=monthly\">月报表</a></span></form>%5")
        .arg(kinds, request.from.date().toString(Qt::ISODate), request.to.date().toString(Qt::ISODate),
             choice,
             error.isEmpty() ? QString() : QStringLiteral("<p class=\"error\">%1</p>").arg(escaped(error)));
}

QString machineTimeBody(const MachineTimeReport &report, const QDate &today, const QString &query)
{
    QString body = QStringLiteral("<div class=\"box\"><b id=\"summary\">%1</b></div>%2")
                       .arg(escaped(report.summary(today).trimmed()), downloads(query));
    body += QStringLiteral("<div class=\"scroll\"><table><thead><tr>");
    const QStringList headers = MachineTimeReport::headers();
    for (int c = 0; c < headers.size(); ++c)
        body += QStringLiteral("<th%1>%2</th>")
                    .arg(MachineTimeReport::rightAligned(c) ? QStringLiteral(" class=\"num\"") : QString(),
                         escaped(headers.at(c)));
    body += QStringLiteral("</tr></thead><tbody>");
    for (const JournalRecord &row : report.rows()) {
        const QStringList texts = MachineTimeReport::rowTexts(row);
        body += QStringLiteral("<tr>");
        for (int c = 0; c < texts.size(); ++c)
            body += td(texts.at(c), {}, MachineTimeReport::rightAligned(c));
        body += QStringLiteral("</tr>");
    }
    return body + QStringLiteral("</tbody></table></div>");
}

QString styledBody(const StyledText &text, const QString &query, bool withDownloads)
{
    // One paragraph per line, each piece in its own span; a centred piece centres its line.
    QString html = QStringLiteral("<div class=\"report\" id=\"report\">");
    QString line;
    bool centred = false;
    auto endLine = [&] {
        html += centred ? QStringLiteral("<span class=\"c\">%1</span>").arg(line) : line + u'\n';
        line.clear();
        centred = false;
    };
    for (const TextRun &run : text) {
        const QStringList parts = run.text.split(u'\n');
        for (int i = 0; i < parts.size(); ++i) {
            if (i > 0)
                endLine();
            if (parts.at(i).isEmpty())
                continue;
            QStringList classes;
            if (run.bold)
                classes << QStringLiteral("b");
            if (run.italic)
                classes << QStringLiteral("i");
            centred = centred || run.centred;
            line += classes.isEmpty() ? escaped(parts.at(i))
                                      : QStringLiteral("<span class=\"%1\">%2</span>")
                                            .arg(classes.join(u' '), escaped(parts.at(i)));
        }
    }
    if (!line.isEmpty())
        endLine();
    html += QStringLiteral("</div>");
    return (withDownloads ? downloads(query) : QString()) + html;
}

QString trailBody(const TrailFilter &filter, const QList<audit::Entry> &entries, int shown,
                  const QString &verification, bool intact, const QString &anchor, bool counters)
{
    QString body =
        QStringLiteral(
            "<h1>操作记录</h1><div class=\"box\"><span id=\"verify\" class=\"%1\">%2</span><br>"
            "<span class=\"muted\">最新校验码：</span><span class=\"hash\" id=\"anchor\">%3</span></div>")
            .arg(intact ? QStringLiteral("ok") : QStringLiteral("error"), escaped(verification),
                 escaped(anchor.isEmpty() ? QStringLiteral("（无记录）") : anchor));
    body += QStringLiteral(
                "<form class=\"filters box\" method=\"get\" action=\"/trail\">"
                "<label>从<input type=\"date\" name=\"from\" value=\"%1\"></label>"
                "<label>到<input type=\"date\" name=\"to\" value=\"%2\"></label>"
                "<label>操作员<input name=\"operator\" value=\"%3\" size=\"8\"></label>"
                "<label>机号<input name=\"machine\" inputmode=\"numeric\" value=\"%4\" size=\"4\"></label>"
                "<label>操作<input name=\"kind\" value=\"%5\" size=\"8\"></label>"
                "<button>查询</button></form>")
                .arg(filter.from.toString(Qt::ISODate), filter.to.toString(Qt::ISODate),
                     escaped(filter.operatorName),
                     filter.machine > 0 ? QString::number(filter.machine) : QString(), escaped(filter.kind));
    body += QStringLiteral("<p class=\"muted\">共%1条%2</p>")
                .arg(entries.size())
                .arg(shown < entries.size() ? QStringLiteral("，显示最新的%1条").arg(shown) : QString());
    body +=
        QStringLiteral("<div class=\"scroll\"><table class=\"cards\"><thead><tr><th>序号</th><th>时间</th>"
                       "<th>操作员</th><th>机号</th><th>操作</th><th>内容</th>%1</tr></thead><tbody>")
            .arg(counters ? QStringLiteral("<th>柜台</th>") : QString());
    int listed = 0;
    for (auto it = entries.crbegin(); it != entries.crend() && listed < shown; ++it, ++listed) {
        const audit::Entry &e = *it;
        body += QStringLiteral("<tr><td class=\"head\">%1</td>").arg(e.seq) +
                td(e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), QStringLiteral("时间")) +
                td(e.operatorName, QStringLiteral("操作员")) +
                td(e.machine > 0 ? QString::number(e.machine) : QString(), QStringLiteral("机号")) +
                td(e.kind, QStringLiteral("操作")) + td(e.details, QStringLiteral("内容"));
        if (counters)
            body += td(e.counter, QStringLiteral("柜台"));
        body += QStringLiteral("</tr>");
    }
    return body + QStringLiteral("</tbody></table></div>");
}

QString messageBody(const QString &message)
{
    return QStringLiteral("<div class=\"box\"><p class=\"error\">%1</p></div>").arg(escaped(message));
}

} // namespace webpages
