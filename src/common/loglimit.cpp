#include "loglimit.h"

#include "clock.h"

std::optional<int> LogLimit::allow(const QString &kind, const QString &address, const QDateTime &now)
{
    const QString key = kind + QChar(u'\n') + address;
    auto it = m_lines.find(key);
    if (it != m_lines.end()) {
        const qint64 since = it->written.secsTo(now);
        // A clock set back counts as a minute gone, or the kind would stay silent for long.
        if (since >= 0 && since < kPeriodSeconds) {
            ++it->leftOut;
            return std::nullopt;
        }
        const int leftOut = it->leftOut;
        *it = Line{now, 0};
        return leftOut;
    }
    // Looked for at most once a second: a swarm must not make each line cost a walk of all.
    if (m_lines.size() >= kPruneAbove && (!m_pruned.isValid() || m_pruned.secsTo(now) != 0)) {
        m_pruned = now;
        for (auto old = m_lines.begin(); old != m_lines.end();) {
            const qint64 since = old->written.secsTo(now);
            old = since < 0 || since >= kPeriodSeconds ? m_lines.erase(old) : std::next(old);
        }
    }
    // Still full of lines of the last minute: the newcomer is left out, uncounted.
    if (m_lines.size() >= kPruneAbove)
        return std::nullopt;
    m_lines.insert(key, Line{now, 0});
    return 0;
}

std::optional<int> LogLimit::allow(const QString &kind, const QString &address)
{
    return allow(kind, address, Clock::now());
}

QString LogLimit::leftOutNote(int leftOut)
{
    return leftOut > 0 ? QStringLiteral(" (%1 more like it in the last minute left out)").arg(leftOut)
                       : QString();
}

LogLimit &LogLimit::shared()
{
    static LogLimit limit;
    return limit;
}
