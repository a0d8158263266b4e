#pragma once

#include "store/database.h"

#include <QStringList>

// Every row of every table, each value quoted by the store: equal dumps mean equal contents.
inline QString dumpTables(Database &db)
{
    QStringList tables;
    Statement list =
        db.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
    while (list.next())
        tables << list.text(0);
    QString dump;
    for (const QString &table : std::as_const(tables)) {
        QStringList columns{QStringLiteral("quote(rowid)")};
        Statement info = db.prepare(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
        while (info.next())
            columns << QStringLiteral("quote(\"%1\")").arg(info.text(1));
        Statement rows = db.prepare(QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid")
                                        .arg(columns.join(QStringLiteral(" || '|' || ")), table));
        dump += table + u'\n';
        while (rows.next())
            dump += rows.text(0) + u'\n';
    }
    return dump;
}
