#include "store.h"

#include "schema.h"

#include <QFile>

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
    m_created = false;
    const bool exists = QFile::exists(path);
    if (!m_db.open(path, key(), !exists)) {
        *error = exists ? QStringLiteral("无法打开数据库（%1）").arg(m_db.lastError())
                        : QStringLiteral("无法创建数据库（%1）").arg(m_db.lastError());
        return false;
    }
    if (!exists) {
        if (!schema::create(m_db)) {
            *error = QStringLiteral("无法创建数据库（%1）").arg(m_db.lastError());
            m_db.close();
            QFile::remove(path); // only the file we have just created
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
