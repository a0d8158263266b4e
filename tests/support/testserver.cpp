#include "testserver.h"

#include "store/database.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QFile>

namespace testserver {

QString connection()
{
    QFile file(qEnvironmentVariable("CORVANA_TEST_PG"));
    if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

bool required()
{
    return qEnvironmentVariable("CI") == u"true";
}

void administer(const QString &sql)
{
    Database admin;
    if (!admin.openServer(connection(), Store::key()) || !admin.exec(sql))
        qFatal("test server: %s", qPrintable(admin.lastError()));
}

} // namespace testserver

ServerSchema::ServerSchema()
{
    static int serial = 0;
    m_name = QStringLiteral("test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
    testserver::administer(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE; CREATE SCHEMA %1").arg(m_name));
}

ServerSchema::~ServerSchema()
{
    // With the operator trail a desk on it kept.
    testserver::administer(QStringLiteral("DROP SCHEMA %1 CASCADE; DROP SCHEMA IF EXISTS %1_audit CASCADE").arg(m_name));
}

QString ServerSchema::connection() const
{
    return testserver::connection() + QStringLiteral(" options='-csearch_path=%1'").arg(m_name);
}

EngineStore::EngineStore(bool onServer)
{
    if (onServer) {
        schema.emplace();
        t.emplace(schema->connection());
    } else {
        t.emplace();
    }
}
