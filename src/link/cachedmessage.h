#pragma once

#include <QByteArray>
#include <functional>

class Database;

// A message built from the store and kept until the store changes. The list messages go out
// to every client that announces itself and on every goods-list query; building them anew
// each time would read and encode whole tables for nothing.
class CachedMessage final
{
public:
    using Builder = std::function<QByteArray(Database &)>;

    explicit CachedMessage(Builder build) : m_build(std::move(build)) {}

    QByteArray get(Database &db);
    // The store was replaced by another file: what was built from the old one goes.
    void forget() { m_valid = false; }

private:
    // What says "the store has not changed": the connection, the rows it changed itself and
    // the commits of other connections to the same file.
    struct Stamp
    {
        const void *handle = nullptr;
        qint64 ownChanges = -1;
        qint64 otherChanges = -1;
        bool operator==(const Stamp &) const = default;
    };
    static Stamp stampOf(Database &db);

    Builder m_build;
    Stamp m_stamp;
    QByteArray m_bytes;
    bool m_valid = false;
};
