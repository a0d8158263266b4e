#pragma once

#include <QHash>
#include <QList>
#include <QString>

// Slows down password guessing. Failures count against what was guessed at (an operator name,
// a card number) wherever they came from, and against the PC's address when they came over the
// link: after kFailures within kWindowSeconds that subject or address is refused for
// kPauseSeconds without the password being looked at. PCs also share a desk-wide budget: after
// kDeskChecksPerSecond failed checks from PCs within a second, no PC's check is looked at until
// that second is over, so a swarm of addresses cannot keep the desk hashing. The
// desk's own dialogs never pause for a PC's guesses at other names. Time is Clock's monotonic
// one: setting the wall clock does not lift a pause.
class GuessThrottle final
{
public:
    static constexpr int kFailures = 5;
    static constexpr qint64 kWindowSeconds = 60;
    static constexpr qint64 kPauseSeconds = 30;
    static constexpr int kDeskChecksPerSecond = 4;

    // What a password is being tried for.
    static QString operatorSubject(const QString &name) { return QStringLiteral("operator:") + name; }
    static QString cardSubject(const QString &number) { return QStringLiteral("card:") + number; }

    // 0 when the check may go ahead, otherwise the whole seconds until it may. `source` is a
    // peer address for the link, or a label for a desk dialog (not counted on its own).
    qint64 wait(const QString &subject, const QString &source);
    void failed(const QString &subject, const QString &source);
    // The seconds `wait` would give, for a message after the fact.
    qint64 secondsLeft(const QString &subject, const QString &source) const;

    // "密码错误次数太多，请N秒后再试！" for the desk's dialogs.
    static QString deskMessage(qint64 seconds);
    // The same to a PC, which cannot count down.
    static QString pcMessage();

private:
    struct Record
    {
        QList<qint64> failures; // monotonic ms
        qint64 refusedUntil = 0;
    };
    static bool isAddress(const QString &source);
    QStringList keys(const QString &subject, const QString &source) const;
    qint64 msLeft(const QString &key, qint64 now) const;
    void forgetStale(qint64 now);
    void forgetOldPcFailures(qint64 now);

    QHash<QString, Record> m_records;
    QList<qint64> m_pcFailures; // the last second's failed checks from PCs
};
