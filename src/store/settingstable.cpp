#include "settingstable.h"

#include "common/formats.h"
#include "database.h"

std::optional<Settings> SettingsTable::read()
{
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT "通宵金额", "最低消费额", "取整金额", "通宵开始时间", "通宵结束时间",
           "每月开始时间", "每月结束时间" FROM xtsz ORDER BY rowid LIMIT 1)"));
    if (!s->next())
        return std::nullopt;
    Settings r;
    r.overnightPrice = s->real(0);
    if (!s->isNull(1))
        r.minimumCharge = s->real(1);
    r.roundingUnit = s->real(2);
    r.overnightStart = parseStoredTime(s->text(3));
    r.overnightEnd = parseStoredTime(s->text(4));
    r.monthStart = s->real(5);
    r.monthEnd = s->real(6);
    return r;
}

bool SettingsTable::save(const Settings &r)
{
    const QVariantList v = {r.overnightPrice,
                            r.minimumCharge ? QVariant(*r.minimumCharge) : QVariant(),
                            r.roundingUnit,
                            storedTime(r.overnightStart),
                            storedTime(r.overnightEnd),
                            r.monthStart,
                            r.monthEnd};
    auto count = m_db.cached(QStringLiteral("SELECT count(*) FROM xtsz"));
    const bool empty = count->next() && count->integer(0) == 0;
    if (empty) {
        return m_db.cached(QStringLiteral(
                               R"(INSERT INTO xtsz ("通宵金额", "最低消费额", "取整金额", "通宵开始时间",
                                  "通宵结束时间", "每月开始时间", "每月结束时间") VALUES (?,?,?,?,?,?,?))"))
            ->bindAll(v)
            .run();
    }
    return m_db.cached(QStringLiteral(
                           R"(UPDATE xtsz SET "通宵金额"=?, "最低消费额"=?, "取整金额"=?, "通宵开始时间"=?,
                              "通宵结束时间"=?, "每月开始时间"=?, "每月结束时间"=?
                              WHERE rowid = (SELECT min(rowid) FROM xtsz))"))
        ->bindAll(v)
        .run();
}
