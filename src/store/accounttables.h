#pragma once

#include "accountrows.h"

#include <QList>
#include <QStringList>

class Database;

// cjkgl: stored-value cards.
class CardTable final
{
public:
    explicit CardTable(Database &db) : m_db(db) {}

    QList<Card> all();
    std::optional<Card> byNumber(const QString &number);
    // The first card with exactly this number and stored password text. Hashed passwords never
    // match here: password checks belong to cards::verify.
    std::optional<Card> find(const QString &number, const QString &password);
    bool add(const Card &card);
    bool save(const Card &card);
    bool remove(qint64 rowid);

    std::optional<Card> byRowid(qint64 rowid);
    // The same, telling in `ownerNamed` whether a customer numbered as the card's owner bears
    // one of `names` (empty names never count): one read, no walk of the customers.
    std::optional<Card> byRowidOwnerNamed(qint64 rowid, const QStringList &names, bool *ownerNamed);
    // Every card with exactly this number, in table order.
    QList<Card> numbered(const QString &number);
    QStringList numbers();
    bool anyOfCustomer(const QString &customerNumber);
    // A new card from the card dialog: 已用机时 and 上机次数 keep the store's defaults.
    bool addIssued(const Card &card);
    // The terms the card dialog changes; usage figures stay as the checkout left them.
    bool saveTerms(qint64 rowid, double total, double totalHours, double balance);
    bool setPassword(qint64 rowid, const QString &password);

private:
    Database &m_db;
};

// khglb: customers.
class CustomerTable final
{
public:
    explicit CustomerTable(Database &db) : m_db(db) {}

    QList<Customer> all();
    std::optional<Customer> byName(const QString &name);
    // The customer number a new customer gets: the next free number.
    QString nextNumber();
    // The same, with the table locked against other counters until the transaction that
    // adds the customer ends, so two never give out one number. Empty when the lock fails.
    QString reserveNumber();
    bool add(const Customer &customer);
    bool save(const Customer &customer);
    bool remove(qint64 rowid);
    std::optional<Customer> byRowid(qint64 rowid);
    // The customer dialog's own fields (编号 to E-Mail); the checkout's figures stay untouched.
    bool addDetails(const Customer &customer);
    bool saveDetails(const Customer &customer);
    // Adds a visit with `amount` spent to every customer of that name (or number).
    bool addVisitByName(const QString &name, double amount, const QDateTime &when);
    bool addVisitByNumber(const QString &number, double amount, const QDateTime &when);

private:
    Database &m_db;
};

// yhszb: operators and their display settings.
class OperatorTable final
{
public:
    explicit OperatorTable(Database &db) : m_db(db) {}

    int count();
    // The number of operators; empty when the table cannot be read.
    std::optional<int> rowCount();
    QList<Operator> all();
    std::optional<Operator> byName(const QString &name);
    // The first operator with exactly this name and stored password text. Hashed passwords
    // never match here: password checks belong to verifyOperator.
    std::optional<Operator> find(const QString &name, const QString &password);
    bool add(const Operator &op);
    bool save(const Operator &op);
    bool remove(qint64 rowid);

    std::optional<Operator> byRowid(qint64 rowid);
    // Every operator with exactly this name, in table order.
    QList<Operator> named(const QString &name);
    // Name, password and right only: a new operator gets the store's display defaults, and a
    // changed one keeps its display settings.
    bool addAccount(const QString &name, const QString &password, const QString &right);
    bool saveAccount(qint64 rowid, const QString &name, const QString &password, const QString &right);
    bool setPassword(qint64 rowid, const QString &password);

private:
    Database &m_db;
};

// The display fields of yhszb, written for the first operator of a name (the main window finds
// its operator by name); nothing else in the row changes. False when no row has that name.
class OperatorDisplayTable final
{
public:
    explicit OperatorDisplayTable(Database &db) : m_db(db) {}

    bool setFont(const QString &name, const QString &fontName, double size, qint64 color, bool bold, bool italic);
    bool setBackground(const QString &name, const QString &path);
    bool setBackgroundColor(const QString &name, qint64 color);

private:
    // Runs `assignments` (… = ?, bound from `values`) on the first row named `name`.
    bool update(const QString &name, const QString &assignments, QVariantList values);

    Database &m_db;
};
