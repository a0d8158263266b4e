#include "guessthrottle.h"

#include "common/clock.h"

bool GuessThrottle::allows(const QString &source)
{
    const auto it = m_records.find(source);
    if (it == m_records.end() || !it->refusedUntil.isValid())
        return true;
    if (Clock::now() < it->refusedUntil)
        return false;
    // The pause is over: a fresh allowance of guesses.
    m_records.erase(it);
    return true;
}

void GuessThrottle::failed(const QString &source)
{
    const QDateTime now = Clock::now();
    forgetStale(now);
    Record &r = m_records[source];
    r.failures.append(now);
    while (r.failures.first().secsTo(now) >= kWindowSeconds)
        r.failures.removeFirst();
    if (r.failures.size() >= kFailures)
        r.refusedUntil = now.addSecs(kPauseSeconds);
}

void GuessThrottle::forgetStale(const QDateTime &now)
{
    // Sources that stopped guessing long ago need no record (peers come and go).
    for (auto it = m_records.begin(); it != m_records.end();) {
        const bool refused = it->refusedUntil.isValid() && now < it->refusedUntil;
        const bool recent = !it->failures.isEmpty() && it->failures.last().secsTo(now) < kWindowSeconds;
        it = refused || recent ? std::next(it) : m_records.erase(it);
    }
}
