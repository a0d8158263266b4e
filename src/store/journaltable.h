#pragma once

#include "rows.h"

#include <QList>

class Database;

// sjlszb: one row per settled session; rows are only ever added.
class JournalTable final
{
public:
    explicit JournalTable(Database &db) : m_db(db) {}

    // The journal number of the next row: the number of rows plus 1.
    qint64 nextId();
    bool add(const JournalEntry &entry);
    // Rows whose 结束时间 lies between `from` and `to`, both included, in table order.
    QList<JournalEntry> endedBetween(const QDateTime &from, const QDateTime &to);

private:
    Database &m_db;
};
