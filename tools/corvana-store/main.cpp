// corvana-store: moves a café's tables between stores, e.g. from the file dbase.mdb onto a
// database server when the café gets a second counter, or back.

#include "../console.h"
#include "store/copy.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

namespace {

const QString kServerPrefix = QStringLiteral("pg:");

// What the command line calls a store, for messages: never the connection string itself,
// which may hold a password.
QString describe(const QString &where)
{
    return where.startsWith(kServerPrefix) ? QStringLiteral("the database server") : where;
}

// Opens the store at `where` to be read: it must exist and be a store this program can use.
Result<> openSource(Database &db, const QString &where)
{
    if (where.startsWith(kServerPrefix)) {
        if (!db.openServer(where.mid(kServerPrefix.size()), Store::key()))
            return failure(db.lastError());
        if (db.tableNames().isEmpty())
            return failure(QStringLiteral("no tables on the server"));
    } else {
        if (!QFile::exists(where))
            return failure(QStringLiteral("no such file"));
        if (!db.open(where, Store::key(), false))
            return failure(db.lastError());
    }
    return schema::check(db);
}

// Opens the store at `where` to be written, creating its tables when there are none.
// `created` tells whether a new file was made (to be removed again when the copy fails).
Result<> openTarget(Database &db, const QString &where, bool *created)
{
    *created = false;
    bool fresh = false;
    if (where.startsWith(kServerPrefix)) {
        if (!db.openServer(where.mid(kServerPrefix.size()), Store::key()))
            return failure(db.lastError());
        fresh = schema::fresh(db);
    } else {
        fresh = !QFile::exists(where);
        if (!db.open(where, Store::key(), fresh))
            return failure(db.lastError());
        *created = fresh;
    }
    if (fresh)
        return schema::create(db) ? Result<>() : failure(db.lastError());
    QString error;
    if (!schema::upgrade(db, &error))
        return failure(error);
    return {};
}

int copy(const QString &fromWhere, const QString &toWhere, bool force)
{
    Database from;
    if (const Result<> opened = openSource(from, fromWhere); !opened) {
        err() << QStringLiteral("corvana-store: cannot read %1: %2").arg(describe(fromWhere), opened.error())
              << Qt::endl;
        return 1;
    }
    Database to;
    bool created = false;
    const auto dropCreated = [&] {
        to.close();
        if (created) {
            QFile::remove(toWhere);
            QFile::remove(toWhere + QStringLiteral("-journal"));
        }
    };
    if (const Result<> opened = openTarget(to, toWhere, &created); !opened) {
        err() << QStringLiteral("corvana-store: cannot write %1: %2").arg(describe(toWhere), opened.error())
              << Qt::endl;
        dropCreated();
        return 1;
    }
    if (!force) {
        const Result<bool> holds = storecopy::holdsData(to);
        if (!holds || *holds) {
            err() << QStringLiteral("corvana-store: %1 %2; nothing copied (--force replaces its rows)")
                         .arg(describe(toWhere), holds ? QStringLiteral("already holds data")
                                                       : QStringLiteral("cannot be read: ") + holds.error())
                  << Qt::endl;
            return 1;
        }
    }
    const QStringList shared = schema::sharedTables(to);
    const Result<qint64> copied = storecopy::copyTables(from, to);
    if (!copied) {
        err() << QStringLiteral("corvana-store: copy failed, %1 is unchanged: %2")
                     .arg(describe(toWhere), copied.error())
              << Qt::endl;
        dropCreated();
        return 1;
    }
    out() << QStringLiteral("corvana-store: copied %1 rows from %2 to %3")
                 .arg(*copied)
                 .arg(describe(fromWhere), describe(toWhere))
          << Qt::endl;
    if (!shared.isEmpty())
        out() << QStringLiteral(
                     "corvana-store: left %1 as they were: shared with the other branches of the chain")
                     .arg(shared.join(QStringLiteral(", ")))
              << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvana-store"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Copies every table of one store to another.\n"
        "\n"
        "  corvana-store copy [--force] FROM TO\n"
        "\n"
        "FROM and TO each name a store:\n"
        "  pg:CONNINFO  the tables on a database server; CONNINFO is a libpq connection string\n"
        "               (the text of a dbase.pg file), e.g. \"pg:host=db.example dbname=cafe\";\n"
        "               without a password the store's key is used\n"
        "  anything else  a store file: a dbase.mdb or a .bak backup\n"
        "A TO that does not exist yet (file) or has no tables (server) is created. A TO that\n"
        "holds data (any row but its settings) is refused unless --force is given; its rows\n"
        "are then replaced. Rows keep their order; the copy is one transaction on TO.\n"
        "A TO that is a branch of a chain (a search path of its own schema, then the chain's)\n"
        "gets every table but the customers and cards shared with the other branches, which\n"
        "are left as they are."));
    parser.addHelpOption();
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("Replace the rows of a TO that holds data."));
    parser.addOption(force);
    parser.addPositionalArgument(QStringLiteral("copy"), QStringLiteral("The command."));
    parser.addPositionalArgument(QStringLiteral("FROM"), QStringLiteral("The store to read."));
    parser.addPositionalArgument(QStringLiteral("TO"), QStringLiteral("The store to write."));
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 3 || args.at(0) != u"copy") {
        err() << QStringLiteral("usage: corvana-store copy [--force] FROM TO (see --help)") << Qt::endl;
        return 2;
    }
    return copy(args.at(1), args.at(2), parser.isSet(force));
}
