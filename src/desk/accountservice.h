#pragma once

#include "accounts/cards.h"
#include "accounts/operators.h"
#include "common/result.h"
#include "serviceoperator.h"
#include "store/accountrows.h"

#include <QList>

class CommandPath;
class Database;
class GuessThrottle;

// What the customer, card and operator windows read and save. Every call that a right
// withholds asks the right of the operator at the desk now; saves go through the command path
// with their trail entry.
class AccountService final
{
public:
    AccountService(Database &db, CommandPath &commands, GuessThrottle &throttle, ServiceOperator at);

    // 客户管理
    Result<QList<Customer>> customers() const;
    Result<QString> nextCustomerNumber() const;
    Result<Customer> addCustomer(const Customer &c);
    // The details of customer `c.rowid`; its figures are the checkout's.
    Result<> saveCustomer(const Customer &c);
    Result<> checkCustomerDeletable(const QString &number) const;
    Result<> removeCustomer(const Customer &c);

    // 储金卡管理, with the customers a card may name.
    Result<QList<Card>> cards() const;
    Result<QList<Customer>> cardOwners() const;
    Result<QString> generateCardNumber(const cards::Draw &draw) const;
    // Adds a card (`rowid` 0) or saves the terms of card `rowid`.
    Result<Card> saveCard(qint64 rowid, const cards::CardInput &input);
    Result<> removeCard(const Card &c);
    Result<Card> topUp(const Card &before, const QString &amount);

    // 管理员设置
    Result<QList<Operator>> operators() const;
    std::expected<void, OperatorSaveError> saveOperator(const OperatorEdit &edit);
    // `currentName` is the operator the window was opened by (followed through its renames).
    Result<> deleteOperator(const Operator &victim, const QString &password, const QString &currentName);

    // For a session's start, not withheld: the registered customers, and whether `name` is
    // none of them.
    QList<Customer> registeredCustomers() const;
    bool isNewCustomer(const QString &name) const;

private:
    Database &m_db;
    CommandPath &m_commands;
    GuessThrottle &m_throttle;
    ServiceOperator m_at;
};
