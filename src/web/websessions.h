#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

// The browsers logged in to the web console, by the random token of their cookie. A session
// ends after kIdleMinutes without a request, at logout, or when kMaxSessions newer ones push
// the least recently used out (a flood of logins cannot grow it without bound).
class WebSessions final
{
public:
    static constexpr qint64 kIdleMinutes = 30;
    static constexpr int kMaxSessions = 64;

    struct Session
    {
        QString operatorName;
        QString right;
        QDateTime lastSeen;
        QString branch; // the chain's branch looked at; empty: the desk's own
    };

    // A new session; its token is 32 random bytes in hex.
    QString open(const QString &operatorName, const QString &right);
    // The live session of `token`, its idle time restarted; nullptr when there is none or it
    // expired (it is then forgotten).
    const Session *touch(const QString &token);
    void close(const QString &token);
    void chooseBranch(const QString &token, const QString &branch);
    int count() const { return int(m_sessions.size()); }

    // Whether `token` has the form open() gives, before it is looked up.
    static bool wellFormed(const QString &token);

private:
    void forgetExpired(const QDateTime &now);
    QHash<QString, Session> m_sessions;
};
