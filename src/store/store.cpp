#include "store.h"

#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QByteArray Store::key()
{
    return QByteArrayLiteral("k7m2p9q4");
}

bool Store::open(const QString &path, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    m_path = path;
    m_connection.clear();
    m_created = false;
    const QString settings = QFileInfo(path).dir().filePath(serverFileName());
    m_onServer = QFile::exists(settings);
    if (m_onServer)
        return openServer(settings, error);
    const bool exists = QFile::exists(path);
    if (!m_db.open(path, key(), !exists)) {
        *error = exists ? QStringLiteral("无法打开数据库（%1）").arg(m_db.lastError())
                        : QStringLiteral("无法创建数据库（%1）").arg(m_db.lastError());
        return false;
    }
    if (!prepareTables(!exists, QStringLiteral("无法创建数据库（%1）"), error)) {
        if (!exists)
            QFile::remove(path); // only the file we have just created
        return false;
    }
    return true;
}

bool Store::prepareTables(bool fresh, const QString &cannotCreate, QString *error)
{
    if (fresh) {
        if (!schema::create(m_db)) {
            *error = cannotCreate.arg(m_db.lastError());
            m_db.close();
            return false;
        }
        m_created = true;
        return true;
    }
    if (!schema::upgrade(m_db, error)) {
        m_db.close();
        return false;
    }
    return true;
}

bool Store::openServer(const QString &settings, QString *error)
{
    QFile file(settings);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("无法读取%1（%2）").arg(settings, file.errorString());
        return false;
    }
    // One connection string, possibly over several lines; lines starting with # are notes.
    QStringList parts;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (!line.trimmed().startsWith(u'#'))
            parts << line.trimmed();
    }
    m_connection = parts.join(u' ');
    if (!m_db.openServer(m_connection, key())) {
        *error = m_db.lastError();
        return false;
    }
    return prepareTables(schema::fresh(m_db), QStringLiteral("无法在数据库服务器上建立数据表（%1）"), error);
}
