#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <optional>

// Log lines that someone else's PC can cause (a wrong password, a flood, a malformed
// request) are written at most once per kind and address a minute, so that one PC cannot fill
// the disk with them. The next line written says how many were left out meanwhile.
class LogLimit final
{
public:
    static constexpr int kPeriodSeconds = 60;

    // Whether a line of `kind` caused by `address` is written at `now`: the number of such
    // lines left out since the last one written, or nothing when this one is left out too.
    std::optional<int> allow(const QString &kind, const QString &address, const QDateTime &now);
    // The same at the program's clock.
    std::optional<int> allow(const QString &kind, const QString &address);

    // " (N more left out)" for a count, empty for 0: the tail of the line written.
    static QString leftOutNote(int leftOut);

    // The one the whole program logs through.
    static LogLimit &shared();

    // Forgets every line written (a test starts afresh).
    void clear() { m_lines.clear(); }

    // Kinds and addresses remembered (bounded: the stale ones go when there are many).
    int size() const { return int(m_lines.size()); }

private:
    struct Line
    {
        QDateTime written;
        int leftOut = 0;
    };
    static constexpr int kPruneAbove = 4096;

    QHash<QString, Line> m_lines; // by kind + address
    QDateTime m_pruned;           // when stale lines were last looked for
};
