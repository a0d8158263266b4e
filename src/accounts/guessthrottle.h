#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// Slows down password guessing: after kFailures failed checks from one source (a peer
// address, a dialog) within kWindowSeconds, that source's checks are refused for
// kPauseSeconds without being evaluated. Time comes from Clock.
class GuessThrottle final
{
public:
    static constexpr int kFailures = 5;
    static constexpr qint64 kWindowSeconds = 60;
    static constexpr qint64 kPauseSeconds = 30;

    // False while `source` is refused.
    bool allows(const QString &source);
    void failed(const QString &source);

private:
    struct Record
    {
        QList<QDateTime> failures;
        QDateTime refusedUntil;
    };
    void forgetStale(const QDateTime &now);

    QHash<QString, Record> m_records;
};
