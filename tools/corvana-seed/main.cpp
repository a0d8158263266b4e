// corvana-seed: fills a new dbase.mdb with a café to play with: machines with two hourly
// rates, a stocked catalogue of drinks and snacks, a few customers and their stored-value
// cards. No operators, so the program starts without a login.

#include "../console.h"
#include "common/clock.h"
#include "common/numbers.h"
#include "store/accounttables.h"
#include "store/goodstables.h"
#include "store/machinetable.h"
#include "store/store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTextStream>

namespace {

bool fail(Database &db, const QString &what)
{
    err() << QStringLiteral("corvana-seed: %1: %2").arg(what, db.lastError()) << Qt::endl;
    return false;
}

bool addMachines(Database &db, int count)
{
    MachineTable machines(db);
    for (int n = 1; n <= count; ++n) {
        Machine m;
        m.number = n;
        m.name = QStringLiteral("%1号机").arg(n);
        m.rate = n <= 10 ? 3 : 4; // the back rows have the better PCs
        m.status = MachineStatus::Off;
        if (!machines.add(m))
            return fail(db, QStringLiteral("machine %1").arg(n));
    }
    return true;
}

bool addGoods(Database &db)
{
    struct Item
    {
        const char16_t *name;
        double cost, price, stock;
    };
    const Item items[] = {
        {u"可乐", 1.6, 3, 48},   {u"雪碧", 1.6, 3, 48},   {u"矿泉水", 0.8, 2, 72}, {u"红茶", 1.8, 3, 36},
        {u"绿茶", 1.8, 3, 36},   {u"冰红茶", 1.8, 3, 24}, {u"咖啡", 2.5, 5, 24},   {u"方便面", 2, 4, 40},
        {u"火腿肠", 0.8, 2, 50}, {u"薯片", 2.8, 5, 30},   {u"饼干", 2, 4, 30},     {u"瓜子", 1.5, 3, 20},
        {u"香烟", 8, 10, 20},
    };
    ArticleTable articles(db);
    QStringList used;
    for (const Item &item : items) {
        Article a;
        a.number = nextFreeNumber(used);
        a.name = QString::fromUtf16(item.name);
        a.cost = item.cost;
        a.price = item.price;
        a.stock = item.stock;
        if (!articles.add(a))
            return fail(db, QStringLiteral("article %1").arg(a.name));
        used << a.number;
    }
    return true;
}

bool addCustomersAndCards(Database &db)
{
    struct Person
    {
        const char16_t *name, *idNumber, *phone, *mobile, *email;
        double spent;
        int visits;
        int daysAgo;
    };
    const Person people[] = {
        {u"张伟", u"110105198503072316", u"010-62781234", u"13901234567", u"zhangwei@example.com", 126, 14,
         1},
        {u"李娜", u"310104199002114528", u"", u"13812345678", u"", 58.5, 6, 3},
        {u"王强", u"440106198811236019", u"020-87654321", u"13712348765", u"wq1988@example.com", 312, 35, 0},
        {u"刘洋", u"510107199507300031", u"", u"15928765432", u"", 0, 0, -1},
        {u"陈静", u"330102199212185627", u"0571-8765432", u"13605718888", u"chenjing@example.com", 24, 2, 12},
    };
    CustomerTable customers(db);
    QStringList numbers;
    for (const Person &p : people) {
        Customer c;
        c.number = customers.nextNumber();
        c.name = QString::fromUtf16(p.name);
        c.idKind = QStringLiteral("身份证");
        c.idNumber = QString::fromUtf16(p.idNumber);
        c.phone = QString::fromUtf16(p.phone);
        c.mobile = QString::fromUtf16(p.mobile);
        c.email = QString::fromUtf16(p.email);
        c.spent = p.spent;
        c.visits = p.visits;
        if (p.daysAgo >= 0)
            c.lastVisit = Clock::now().addDays(-p.daysAgo).addSecs(-3600 * 2);
        if (!customers.add(c))
            return fail(db, QStringLiteral("customer %1").arg(c.name));
        numbers << c.number;
    }

    // The hourly price of a card is 总金额 ÷ 总机时; the balance is what the used hours left.
    struct CardData
    {
        const char16_t *number;
        double total, hours;
        const char16_t *password;
        int owner; // index into numbers
        double usedHours;
        int sessions;
    };
    const CardData cards[] = {
        {u"86100001", 60, 20, u"1234", 0, 0, 0},
        {u"86100002", 150, 50, u"8888", 1, 12.5, 5},
        {u"86100003", 300, 100, u"6666", 2, 40, 16},
        {u"86100004", 100, 25, u"0000", 4, 2, 1},
    };
    CardTable table(db);
    for (const CardData &d : cards) {
        Card c;
        c.number = QString::fromUtf16(d.number);
        c.total = d.total;
        c.totalHours = d.hours;
        c.password = QString::fromUtf16(d.password);
        c.customer = numbers.at(d.owner);
        c.usedHours = d.usedHours;
        c.sessions = d.sessions;
        c.balance = roundEven(d.total - d.usedHours * d.total / d.hours, 2);
        if (!table.add(c))
            return fail(db, QStringLiteral("card %1").arg(c.number));
    }
    return true;
}

bool seed(Database &db, int machines)
{
    Transaction t(db);
    if (!addMachines(db, machines) || !addGoods(db) || !addCustomersAndCards(db))
        return false;
    return t.commit() || fail(db, QStringLiteral("commit"));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvana-seed"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Creates FOLDER/dbase.mdb filled with demo data (machines, goods, customers, cards)."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FOLDER"),
                                 QStringLiteral("the folder of the corvana program"));
    const QCommandLineOption machinesOption(QStringLiteral("machines"),
                                            QStringLiteral("number of machines (default 20)"),
                                            QStringLiteral("N"), QStringLiteral("20"));
    const QCommandLineOption forceOption(QStringLiteral("force"),
                                         QStringLiteral("delete an existing dbase.mdb and start afresh"));
    parser.addOption(machinesOption);
    parser.addOption(forceOption);
    parser.process(app);

    const QStringList folders = parser.positionalArguments();
    if (folders.size() != 1) {
        err() << "usage: corvana-seed FOLDER [--machines N] [--force]" << Qt::endl;
        return 1;
    }
    bool ok = false;
    const int machines = parser.value(machinesOption).toInt(&ok);
    if (!ok || machines < 1 || machines > 999) {
        err() << "corvana-seed: --machines wants a number from 1 to 999" << Qt::endl;
        return 1;
    }

    const QDir folder(folders.first());
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        err() << "corvana-seed: cannot create the folder " << folder.path() << Qt::endl;
        return 1;
    }
    // A program running on this folder holds its database open: never pull it away under it,
    // and keep it from starting while the file is being filled.
    QLockFile lock(folder.filePath(QStringLiteral("corvana.lock")));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        err() << "corvana-seed: corvana is running in " << folder.path() << "; close it first" << Qt::endl;
        return 1;
    }

    const QString path = folder.filePath(Store::fileName());
    if (QFile::exists(path)) {
        if (!parser.isSet(forceOption)) {
            err() << "corvana-seed: " << path << " already exists; use --force to replace it" << Qt::endl;
            return 1;
        }
        for (const QString &file : {path, path + QStringLiteral("-journal")})
            if (QFile::exists(file) && !QFile::remove(file)) {
                err() << "corvana-seed: cannot delete " << file << Qt::endl;
                return 1;
            }
    }

    Store store;
    QString error;
    if (!store.open(path, &error)) {
        err() << "corvana-seed: " << error << Qt::endl;
        return 1;
    }
    if (!seed(store.db(), machines)) {
        // Half a demo is no demo: take away the file made here.
        store.close();
        QFile::remove(path);
        return 1;
    }
    out() << "corvana-seed: " << path << ": " << machines << " machines, goods, customers and cards"
          << Qt::endl;
    return 0;
}
