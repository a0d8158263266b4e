#pragma once

// A day of trade with totals worked out by hand, shared by the report tests.

#include "store/database.h"
#include "store/goodstables.h"
#include "store/journaltable.h"

#include <QDateTime>

namespace sample {

inline const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

inline QDateTime at(int day, int h, int m, int s = 0)
{
    return QDateTime(QDate(2024, 5, day), QTime(h, m, s));
}

// Sessions settled on 2024-05-01 (rows 1-3) and just outside it (rows 4, 5):
//   1  machine 1  04-30 23:00 → 05-01 00:00:00  normal     due 5.00   received 3.00  0%    60 min
//   2  machine 2  05-01 08:00 → 05-01 10:05:30  overnight  due 10.00  received 2.00  12.5% 125 min
//   3  machine 3  05-01 22:00 → 05-01 23:59:59  normal     due 2.05   received 2.05  0%   119 min
//   4  machine 1  ended 05-02 00:00:00 (next day), 5  machine 1 ended 04-30 23:59:59 (day before)
// The day: due 17.05 (shown 17.1元), received 7.05 (7.1元, which binary sums print as 7.0),
// 304 minutes = 5小时4分钟.
//
// Catalogue: 00000001 可乐 cost 1.8 retail 2.5; 00000002 康师傅红烧牛肉面大桶装 (22 bytes)
// cost 1.0 retail 1.5; 00000003 矿泉水瓶 cost 0.6 retail 1.0.
// Goods sold, in time order:
//   machine 2  05-01 00:00:00  00000001 × 3  amount 7.5  cost 5.4
//   counter    05-01 09:30:00  00000003 × 2  amount 2.0  cost 1.2
//   machine 2  05-01 12:00:00  00000009 × 4  (missing from the catalogue: 0)
//   machine 3  05-01 23:59:59  00000002 × 1  amount 1.5  cost 1.0
//   machine 2  05-02 00:00:00  00000001 × 9  (next day)
// The day, all machines: sales 11.0, cost 7.6, counter 2.0, profit 3.4;
// income total = received 7.05 + counter 2.0 − cost 7.6 = 1.45 (1.5元).
inline void addDay(Database &db)
{
    JournalTable journal(db);
    auto session = [&](qint64 id, int machine, QDateTime start, QDateTime end, const char16_t *mode, double due,
                       double received, double discount) {
        journal.add({id, machine, start, end, QString::fromUtf16(mode), due, received, discount,
                     QStringLiteral("收银员"), QStringLiteral("李四"), QStringLiteral("身份证"),
                     QStringLiteral("123")});
    };
    session(1, 1, QDateTime(QDate(2024, 4, 30), QTime(23, 0)), at(1, 0, 0), u"N", 5, 3, 0);
    session(2, 2, at(1, 8, 0), at(1, 10, 5, 30), u"P", 10, 2, 12.5);
    session(3, 3, at(1, 22, 0), at(1, 23, 59, 59), u"N", 2.05, 2.05, 0);
    session(4, 1, at(1, 23, 0), at(2, 0, 0), u"N", 100, 100, 0);
    session(5, 1, QDateTime(QDate(2024, 4, 30), QTime(20, 0)), QDateTime(QDate(2024, 4, 30), QTime(23, 59, 59)),
            u"N", 100, 100, 0);

    ArticleTable articles(db);
    articles.add({0, QStringLiteral("00000001"), QStringLiteral("可乐"), 1.8, 2.5, 100});
    articles.add({0, QStringLiteral("00000002"), QStringLiteral("康师傅红烧牛肉面大桶装"), 1.0, 1.5, 100});
    articles.add({0, QStringLiteral("00000003"), QStringLiteral("矿泉水瓶"), 0.6, 1.0, 100});

    SalesTable sales(db);
    sales.add({1, 2, QStringLiteral("00000001"), 3, at(1, 0, 0)});
    sales.add({3, 3, QStringLiteral("00000002"), 1, at(1, 23, 59, 59)});
    sales.add({std::nullopt, -1, QStringLiteral("00000003"), 2, at(1, 9, 30)});
    sales.add({2, 2, QStringLiteral("00000009"), 4, at(1, 12, 0)});
    sales.add({4, 2, QStringLiteral("00000001"), 9, at(2, 0, 0)});
}

} // namespace sample
