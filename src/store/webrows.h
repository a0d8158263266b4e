#pragma once

#include <QString>

// Rows as the program reads and writes them: `rowid` names the stored row; table order is
// rowid order.

// quickhttp: a quick web address.
struct QuickAddress
{
    qint64 rowid = 0;
    QString name;    // 网站名称
    QString address; // 网站地址
};

// hickhttp: a fragment of restricted web addresses.
struct RestrictedSite
{
    qint64 rowid = 0;
    QString fragment; // 网站
};
