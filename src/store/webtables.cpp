#include "webtables.h"

#include "database.h"

QList<QuickAddress> QuickAddressTable::all()
{
    QList<QuickAddress> result;
    auto s =
        m_db.cached(QStringLiteral(R"(SELECT rowid, "网站名称", "网站地址" FROM quickhttp ORDER BY rowid)"));
    while (s->next())
        result.append({s->integer(0), s->text(1), s->text(2)});
    return result;
}

std::optional<QuickAddress> QuickAddressTable::byRowid(qint64 rowid)
{
    auto s =
        m_db.cached(QStringLiteral(R"(SELECT rowid, "网站名称", "网站地址" FROM quickhttp WHERE rowid=?)"));
    s->bind(1, rowid);
    if (!s->next())
        return std::nullopt;
    return QuickAddress{s->integer(0), s->text(1), s->text(2)};
}

std::optional<QuickAddress> QuickAddressTable::byName(const QString &name)
{
    auto s = m_db.cached(QStringLiteral(
        R"(SELECT rowid, "网站名称", "网站地址" FROM quickhttp WHERE "网站名称"=? ORDER BY rowid LIMIT 1)"));
    s->bind(1, name);
    if (!s->next())
        return std::nullopt;
    return QuickAddress{s->integer(0), s->text(1), s->text(2)};
}

bool QuickAddressTable::add(const QuickAddress &a)
{
    auto s = m_db.cached(QStringLiteral(R"(INSERT INTO quickhttp ("网站名称", "网站地址") VALUES (?,?))"));
    return s->bindAll({a.name, a.address}).run();
}

bool QuickAddressTable::save(const QuickAddress &a)
{
    auto s = m_db.cached(QStringLiteral(R"(UPDATE quickhttp SET "网站名称"=?, "网站地址"=? WHERE rowid=?)"));
    return s->bindAll({a.name, a.address, a.rowid}).run();
}

bool QuickAddressTable::remove(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral("DELETE FROM quickhttp WHERE rowid=?"));
    return s->bind(1, rowid).run();
}

QList<RestrictedSite> RestrictedSiteTable::all()
{
    QList<RestrictedSite> result;
    auto s = m_db.cached(QStringLiteral(R"(SELECT rowid, "网站" FROM hickhttp ORDER BY rowid)"));
    while (s->next())
        result.append({s->integer(0), s->text(1)});
    return result;
}

std::optional<RestrictedSite> RestrictedSiteTable::byRowid(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral(R"(SELECT rowid, "网站" FROM hickhttp WHERE rowid=?)"));
    s->bind(1, rowid);
    if (!s->next())
        return std::nullopt;
    return RestrictedSite{s->integer(0), s->text(1)};
}

bool RestrictedSiteTable::add(const RestrictedSite &site)
{
    auto s = m_db.cached(QStringLiteral(R"(INSERT INTO hickhttp ("网站") VALUES (?))"));
    return s->bind(1, site.fragment).run();
}

bool RestrictedSiteTable::remove(qint64 rowid)
{
    auto s = m_db.cached(QStringLiteral("DELETE FROM hickhttp WHERE rowid=?"));
    return s->bind(1, rowid).run();
}
