#include "serviceoperator.h"

ServiceOperator ServiceOperator::fixed(const QString &name, const QString &right)
{
    return {[name] { return name; }, [right] { return right; }};
}

Result<> ServiceOperator::allow(Command command) const
{
    if (right && rights::may(right(), command))
        return {};
    return failure(noRightText());
}
