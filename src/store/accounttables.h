#pragma once

#include "rows.h"

#include <QList>

class Database;

// cjkgl: stored-value cards.
class CardTable final
{
public:
    explicit CardTable(Database &db) : m_db(db) {}

    QList<Card> all();
    std::optional<Card> byNumber(const QString &number);
    // The first card with exactly this number and password.
    std::optional<Card> find(const QString &number, const QString &password);
    bool add(const Card &card);
    bool save(const Card &card);
    bool remove(qint64 rowid);

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
    bool add(const Customer &customer);
    bool save(const Customer &customer);
    bool remove(qint64 rowid);
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
    QList<Operator> all();
    std::optional<Operator> byName(const QString &name);
    // The first operator with exactly this name and password.
    std::optional<Operator> find(const QString &name, const QString &password);
    bool add(const Operator &op);
    bool save(const Operator &op);
    bool remove(qint64 rowid);

private:
    Database &m_db;
};
