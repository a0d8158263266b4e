#pragma once

#include "support/teststore.h"

#include <QString>
#include <QTest>
#include <memory>
#include <optional>

// The database server the test run started (scripts/test-postgres.sh), and a schema of its own
// for each test case.
namespace testserver {
// Its connection string; empty when no server runs.
QString connection();
bool required();
// Runs `sql` on the server outside any test schema; the test stops when it fails.
void administer(const QString &sql);
} // namespace testserver

// A fresh schema, dropped with everything in it at the end.
class ServerSchema
{
public:
    ServerSchema();
    ~ServerSchema();
    ServerSchema(const ServerSchema &) = delete;
    ServerSchema &operator=(const ServerSchema &) = delete;

    // A connection string whose search path is this schema.
    QString connection() const;
    QString name() const { return m_name; }

private:
    QString m_name;
};

// A test store on the file, or in a schema of its own on the server.
struct EngineStore
{
    explicit EngineStore(bool onServer);
    std::optional<ServerSchema> schema;
    std::optional<TestStore> t;
};

// Skips a server case when no server runs; under CI=true, where one must, fails it.
#define SKIP_WITHOUT_SERVER(onServer)                                                                        \
    do {                                                                                                     \
        if ((onServer) && testserver::connection().isEmpty()) {                                              \
            if (testserver::required())                                                                      \
                QFAIL("no test database server runs");                                                       \
            QSKIP("no test database server runs (ctest starts one)");                                        \
        }                                                                                                    \
    } while (false)
