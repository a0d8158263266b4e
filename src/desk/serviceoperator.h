#pragma once

#include "accounts/rights.h"
#include "common/result.h"

#include <QString>
#include <functional>

// Who is at the desk at the moment of a call. A window stays open across 以其他用户登陆, so the
// services ask at every call that a right withholds, not once when the window opened.
struct ServiceOperator
{
    std::function<QString()> name;
    std::function<QString()> right;

    // One operator that never changes (tools and tests).
    static ServiceOperator fixed(const QString &name, const QString &right);
    // Refused, with the operator's text, unless the right of the operator now at the desk
    // allows `command`.
    Result<> allow(Command command) const;
};

inline QString noRightText()
{
    return QStringLiteral("当前操作员没有此项权限");
}
