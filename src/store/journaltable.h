#pragma once

#include "journalrow.h"

#include <QList>

class Database;

// A journal row as stored, times as their stored text: the reports read many rows and
// need no parsed moments for most of them.
struct JournalRecord
{
    qint64 rowid = 0;
    qint64 id = 0;       // ID
    int machine = 0;     // 机号
    QString start;       // 开始时间, "yyyy-MM-dd HH:mm:ss" or empty
    QString end;         // 结束时间
    QString mode;        // 上机方式
    double due = 0;      // 应收款
    double received = 0; // 实收款
    double discount = 0; // 优惠
    QString cashier;     // 结帐人
    QString customer;    // 客户姓名
    QString idKind;      // 客户证件
    QString idNumber;    // 证件号码
};

// Where a selection by period read up to: the next page starts after this time and rowid.
struct PeriodPlace
{
    QString time;
    qint64 rowid = -1;
};

// sjlszb: one row per settled session; rows are only ever added.
class JournalTable final
{
public:
    explicit JournalTable(Database &db) : m_db(db) {}

    // The journal number of the next row: the number of rows plus 1.
    qint64 nextId();
    bool add(const JournalEntry &entry);
    // Other counters' journal rows wait until this transaction ends: IDs stay gapless and in
    // order. Taken last and only to number rows, so it is held for a few statements.
    bool lockForNumbering();
    // Adds the row under the next journal number (entry.id is not used), allocated by the
    // insert itself; the row's order key is then the store's lastInsertId(). Under
    // lockForNumbering().
    bool addNumbered(const JournalEntry &entry);
    // Whether the session of machine `machine` that began at `start` has its row.
    bool hasSession(int machine, const QDateTime &start);
    // Rows whose 结束时间 lies between `from` and `to`, both included, in table order.
    QList<JournalEntry> endedBetween(const QDateTime &from, const QDateTime &to);

    // Rows whose 结束时间 lies between `from` and `to`, both included.
    qint64 countEndedBetween(const QDateTime &from, const QDateTime &to);
    // The next `limit` of those rows after `after` (start with the place of `from`), in order
    // of 结束时间 and then table order. Each page is a query of its own, so nothing stays
    // locked between pages.
    QList<JournalRecord> endedBetweenPage(const PeriodPlace &after, const QDateTime &to, int limit);
    // The same page with the money fields only: rowid, 机号, the two times, 应收款, 实收款.
    QList<JournalRecord> moneyEndedBetweenPage(const PeriodPlace &after, const QDateTime &to, int limit);

private:
    Database &m_db;
};
