#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

class Database;

// Article number i (0-based) as the catalogue writes it: 00000001, 00000002, …
QString articleNumber(int i);

// Fills the journals as years of trade leave them: `sessions` settled sessions spread over
// the five years before `now` on machines 1..`machines`, each with `salesPerSession` goods
// sales of the first `articles` articles. One transaction; false (with db.lastError()) on
// failure.
bool addHistory(Database &db, qint64 sessions, int salesPerSession, int articles, int machines,
                const QDateTime &now);

// Machine 1 (3 yuan an hour, standing by at 127.0.0.2) and articles 1..`articles` (2.5 yuan,
// plenty in stock), inside whatever transaction is open; false on failure.
bool addStandbyMachineAndGoods(Database &db, int articles);

// Makes bulk writes into a scratch file fast; the store sets its own pragmas on every open.
bool fastWrites(Database &db);

double median(std::vector<double> values);
