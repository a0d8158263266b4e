#include "numberedit.h"

#include <QRegularExpressionValidator>

QLineEdit *numberEdit(QWidget *parent, const QString &objectName, bool decimals, int maxLength)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    const QString pattern = decimals ? QStringLiteral("[0-9.]*") : QStringLiteral("[0-9]*");
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    edit->setMaxLength(maxLength);
    return edit;
}
