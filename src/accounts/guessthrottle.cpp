#include "guessthrottle.h"

#include "common/clock.h"

#include <QHostAddress>

namespace {
constexpr qint64 kSecond = 1000;

qint64 wholeSeconds(qint64 ms)
{
    return (ms + kSecond - 1) / kSecond;
}
} // namespace

bool GuessThrottle::isAddress(const QString &source)
{
    return !QHostAddress(source).isNull();
}

QStringList GuessThrottle::keys(const QString &subject, const QString &source) const
{
    QStringList k{subject};
    if (isAddress(source))
        k << QStringLiteral("address:") + source;
    return k;
}

qint64 GuessThrottle::msLeft(const QString &key, qint64 now) const
{
    const auto it = m_records.constFind(key);
    return it == m_records.cend() ? 0 : std::max<qint64>(0, it->refusedUntil - now);
}

qint64 GuessThrottle::secondsLeft(const QString &subject, const QString &source) const
{
    const qint64 now = Clock::monotonicMs();
    qint64 left = 0;
    for (const QString &key : keys(subject, source))
        left = std::max(left, msLeft(key, now));
    if (isAddress(source) && m_pcFailures.size() >= kDeskChecksPerSecond)
        left = std::max(left, m_pcFailures.first() + kSecond - now);
    return wholeSeconds(left);
}

qint64 GuessThrottle::wait(const QString &subject, const QString &source)
{
    forgetOldPcFailures(Clock::monotonicMs());
    return secondsLeft(subject, source);
}

void GuessThrottle::forgetOldPcFailures(qint64 now)
{
    while (!m_pcFailures.isEmpty() && now - m_pcFailures.first() >= kSecond)
        m_pcFailures.removeFirst();
}

void GuessThrottle::failed(const QString &subject, const QString &source)
{
    const qint64 now = Clock::monotonicMs();
    forgetStale(now);
    if (isAddress(source)) {
        forgetOldPcFailures(now);
        m_pcFailures.append(now);
    }
    for (const QString &key : keys(subject, source)) {
        Record &r = m_records[key];
        // A pause that is over leaves a fresh allowance.
        if (r.refusedUntil != 0 && r.refusedUntil <= now)
            r = Record();
        r.failures.append(now);
        while (now - r.failures.first() >= kWindowSeconds * kSecond)
            r.failures.removeFirst();
        if (r.failures.size() >= kFailures)
            r.refusedUntil = now + kPauseSeconds * kSecond;
    }
}

void GuessThrottle::forgetStale(qint64 now)
{
    // Names and addresses that stopped failing long ago need no record.
    for (auto it = m_records.begin(); it != m_records.end();) {
        const bool refused = now < it->refusedUntil;
        const bool recent = !it->failures.isEmpty() && now - it->failures.last() < kWindowSeconds * kSecond;
        it = refused || recent ? std::next(it) : m_records.erase(it);
    }
}

QString GuessThrottle::deskMessage(qint64 seconds)
{
    return QStringLiteral("密码错误次数太多，请%1秒后再试！").arg(seconds);
}

QString GuessThrottle::pcMessage()
{
    return QStringLiteral("密码错误次数太多，请稍后再试！");
}
