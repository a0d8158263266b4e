#include "websessions.h"

#include "common/clock.h"

#include <QRandomGenerator>
#include <algorithm>

QString WebSessions::open(const QString &operatorName, const QString &right)
{
    const QDateTime now = Clock::now();
    forgetExpired(now);
    if (m_sessions.size() >= kMaxSessions) {
        const auto oldest =
            std::min_element(m_sessions.begin(), m_sessions.end(),
                             [](const Session &a, const Session &b) { return a.lastSeen < b.lastSeen; });
        m_sessions.erase(oldest);
    }
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    const QString token =
        QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex());
    m_sessions.insert(token, {operatorName, right, now, {}});
    return token;
}

const WebSessions::Session *WebSessions::touch(const QString &token)
{
    const auto it = m_sessions.find(token);
    if (it == m_sessions.end())
        return nullptr;
    const QDateTime now = Clock::now();
    if (it->lastSeen.secsTo(now) >= kIdleMinutes * 60 || now < it->lastSeen.addSecs(-60)) {
        // Idle too long, or the clock went back: the session cannot be trusted to be recent.
        m_sessions.erase(it);
        return nullptr;
    }
    it->lastSeen = now;
    return &*it;
}

void WebSessions::close(const QString &token)
{
    m_sessions.remove(token);
}

bool WebSessions::wellFormed(const QString &token)
{
    return token.size() == 64 && std::all_of(token.begin(), token.end(),
                                             [](QChar c) { return c.isDigit() || (c >= u'a' && c <= u'f'); });
}

void WebSessions::forgetExpired(const QDateTime &now)
{
    for (auto it = m_sessions.begin(); it != m_sessions.end();)
        it = it->lastSeen.secsTo(now) >= kIdleMinutes * 60 ? m_sessions.erase(it) : std::next(it);
}

void WebSessions::chooseBranch(const QString &token, const QString &branch)
{
    if (const auto it = m_sessions.find(token); it != m_sessions.end())
        it->branch = branch;
}
