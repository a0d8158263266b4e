#pragma once

#include "store/machinerow.h"
#include "store/store.h"

#include <QTemporaryDir>

// A fresh store in a temporary folder, with shortcuts for the rows tests need.
class TestStore
{
public:
    // With `serverConnection` the store is on a database server: a dbase.pg holding it is put
    // beside the store file before it opens.
    explicit TestStore(const QString &serverConnection = QString());

    Database &db() { return m_store.db(); }
    Store &store() { return m_store; }
    QString path() const { return m_dir.filePath(Store::fileName()); }
    QString dir() const { return m_dir.path(); }

    // Adds machine `number` named "<number>号机" at `rate` yuan per hour with `status`.
    Machine addMachine(int number, double rate = 3, MachineStatus status = MachineStatus::Off,
                       const QString &ip = QString());
    // Makes machine `number` billing since `start` (normal mode unless `mode` says "P").
    Machine startSession(int number, const QDateTime &start, const QString &mode = QStringLiteral("N"));
    void addArticle(const QString &number, const QString &name, double price, double stock = 100);
    void setTariff(double minimum, double unit, double overnight = 10);
    void setOvernightWindow(const QTime &start, const QTime &end);
    // An operator whose password is kept in clear, as older versions kept it.
    void addOperator(const QString &name, const QString &password, const QString &right);
    void addCustomer(const QString &number, const QString &name, const QString &idKind = QString(),
                     const QString &idNumber = QString());

private:
    QTemporaryDir m_dir;
    Store m_store;
};

// The file's permission bits, as `ls -l` shows them in octal; -1 when it is missing.
int fileMode(const QString &path);

// The rows of `table` in table order, each as its values joined by "|" (NULL as "<null>").
QStringList tableRows(Database &db, const QString &table);
// Every row of every table, each led by its table's name: for before/after comparisons.
QStringList tableDump(Database &db);
