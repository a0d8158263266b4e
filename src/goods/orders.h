#pragma once

#include <QDateTime>
#include <QString>

class Database;

// Records goods ordered for machine `machine`: lowers the article's stock (no lower bound;
// an article missing from the catalogue changes no stock) and adds `quantity` to the
// machine's line for the article, or starts one. All or nothing.
bool recordOrder(Database &db, int machine, const QString &article, double quantity, const QDateTime &when);
