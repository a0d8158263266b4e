#include "history.h"

#include "common/formats.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/machinerow.h"
#include "store/machinetable.h"

#include <QRandomGenerator>
#include <algorithm>

QString articleNumber(int i)
{
    return QString::number(i + 1).rightJustified(8, u'0');
}

bool addHistory(Database &db, qint64 sessions, int salesPerSession, int articles, int machines,
                const QDateTime &now)
{
    QRandomGenerator gen(11);
    Transaction t(db);
    Statement session = db.prepare(QStringLiteral(
        R"(INSERT INTO sjlszb ("ID", "机号", "开始时间", "结束时间", "上机方式", "应收款", "实收款", "优惠",
           "结帐人", "客户姓名", "客户证件", "证件号码") VALUES (?,?,?,?,?,?,?,?,?,?,?,?))"));
    Statement sale = db.prepare(
        QStringLiteral(R"(INSERT INTO khspb ("ID", "机号", "商品编号", "数量", "时间") VALUES (?,?,?,?,?))"));
    if (!session.isValid() || !sale.isValid())
        return false;
    const QDateTime first = now.addDays(-5 * 365);
    const qint64 step = first.secsTo(now.addDays(-1)) / sessions;
    const QString normal = QStringLiteral("N");
    const QString cashier = QStringLiteral("收银员");
    const QString empty;
    std::vector<QString> numbers;
    for (int i = 0; i < articles; ++i)
        numbers.push_back(articleNumber(i));
    for (qint64 id = 1; id <= sessions; ++id) {
        const QDateTime end = first.addSecs(id * step);
        const QString endText = storedDateTime(end);
        const int machine = 1 + int(gen.bounded(machines));
        const double due = 2 + int(gen.bounded(20));
        session.bindAll({id, machine, storedDateTime(end.addSecs(-3600)), endText, normal, due, due, 0.0, cashier,
                         empty, empty, empty});
        if (!session.run())
            return false;
        session.reset();
        for (int k = 0; k < salesPerSession; ++k) {
            sale.bindAll({id, machine, numbers[size_t(gen.bounded(articles))], 1.0, endText});
            if (!sale.run())
                return false;
            sale.reset();
        }
    }
    return t.commit();
}

bool fastWrites(Database &db)
{
    return db.exec(QStringLiteral("PRAGMA synchronous=OFF")) && db.exec(QStringLiteral("PRAGMA cache_size=-262144"));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool addStandbyMachineAndGoods(Database &db, int articles)
{
    Machine m;
    m.number = 1;
    m.name = QStringLiteral("1号机");
    m.rate = 3;
    m.status = MachineStatus::Standby;
    m.ip = QStringLiteral("127.0.0.2");
    bool ok = MachineTable(db).add(m);
    ArticleTable catalogue(db);
    for (int i = 0; ok && i < articles; ++i)
        ok = catalogue.add({0, articleNumber(i), QStringLiteral("商品%1").arg(i + 1), 1, 2.5, 1000000});
    return ok;
}
