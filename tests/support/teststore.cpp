#include "teststore.h"

#include "store/accounttables.h"
#include "store/database.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "store/settingstable.h"

#include <QFile>
#include <sys/stat.h>

TestStore::TestStore(const QString &serverConnection)
{
    if (!serverConnection.isEmpty()) {
        QFile settings(m_dir.filePath(Store::serverFileName()));
        if (!settings.open(QIODevice::WriteOnly) || settings.write(serverConnection.toUtf8()) < 0)
            qFatal("cannot write %s", qPrintable(settings.fileName()));
    }
    QString error;
    if (!m_store.open(path(), &error))
        qFatal("cannot create the test store: %s", qPrintable(error));
}

Machine TestStore::addMachine(int number, double rate, MachineStatus status, const QString &ip)
{
    Machine m;
    m.number = number;
    m.name = QString::number(number) + QStringLiteral("号机");
    m.rate = rate;
    m.status = status;
    m.ip = ip;
    MachineTable(db()).add(m);
    return *MachineTable(db()).byNumber(number);
}

Machine TestStore::startSession(int number, const QDateTime &start, const QString &mode)
{
    Machine m = *MachineTable(db()).byNumber(number);
    m.status = MachineStatus::Billing;
    m.start = start;
    m.mode = mode;
    MachineTable(db()).save(m);
    return m;
}

void TestStore::addOperator(const QString &name, const QString &password, const QString &right)
{
    Operator o;
    o.name = name;
    o.password = password;
    o.right = right;
    OperatorTable(db()).add(o);
}

void TestStore::addArticle(const QString &number, const QString &name, double price, double stock)
{
    ArticleTable(db()).add({0, number, name, price / 2, price, stock});
}

void TestStore::setTariff(double minimum, double unit, double overnight)
{
    Settings s = SettingsTable(db()).read().value_or(Settings{});
    s.minimumCharge = minimum;
    s.roundingUnit = unit;
    s.overnightPrice = overnight;
    SettingsTable(db()).save(s);
}

void TestStore::setOvernightWindow(const QTime &start, const QTime &end)
{
    Settings s = SettingsTable(db()).read().value_or(Settings{});
    s.overnightStart = start;
    s.overnightEnd = end;
    SettingsTable(db()).save(s);
}

void TestStore::addCustomer(const QString &number, const QString &name, const QString &idKind,
                            const QString &idNumber)
{
    Customer c;
    c.number = number;
    c.name = name;
    c.idKind = idKind;
    c.idNumber = idNumber;
    CustomerTable(db()).add(c);
}

int fileMode(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QStringList tableRows(Database &db, const QString &table)
{
    QStringList rows;
    Statement s = db.prepare(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" ORDER BY rowid"));
    const int columns = s.columnCount();
    while (s.next()) {
        QStringList values;
        for (int c = 0; c < columns; ++c)
            values << (s.isNull(c) ? QStringLiteral("<null>") : s.text(c));
        rows << values.join(u'|');
    }
    return rows;
}

QStringList tableDump(Database &db)
{
    // On the file every value quoted by the store, with the row key: equal dumps mean equal
    // contents, types and table order. A server has no quote(): its values as text, in row
    // order.
    QStringList rows;
    for (const char *table : {"yxsjb", "sjlszb", "splsjlb", "spkcb", "khspb", "cjkgl", "xtsz", "yhszb", "khglb",
                              "quickhttp", "hickhttp"}) {
        const QString name = QLatin1String(table);
        if (db.isServer()) {
            for (const QString &row : tableRows(db, name))
                rows << name + u'|' + row;
            continue;
        }
        QStringList columns{QStringLiteral("quote(rowid)")};
        Statement info = db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(name));
        while (info.next())
            columns << QStringLiteral("quote(\"%1\")").arg(info.text(1));
        Statement s = db.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                     .arg(columns.join(QStringLiteral(" || '|' || ")), name));
        while (s.next())
            rows << name + u'|' + s.text(0);
    }
    return rows;
}
