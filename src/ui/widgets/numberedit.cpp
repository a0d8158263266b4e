#include "numberedit.h"

#include <QFocusEvent>
#include <QRegularExpressionValidator>

void NumberEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    selectAll();
    m_selectOnRelease = event->reason() == Qt::MouseFocusReason;
}

void NumberEdit::mouseReleaseEvent(QMouseEvent *event)
{
    QLineEdit::mouseReleaseEvent(event);
    // A drag that chose part of the text keeps that choice.
    if (std::exchange(m_selectOnRelease, false) && !hasSelectedText())
        selectAll();
}

QLineEdit *numberEdit(QWidget *parent, const QString &objectName, bool decimals, int maxLength)
{
    auto *edit = new NumberEdit(parent);
    edit->setObjectName(objectName);
    const QString pattern = decimals ? QStringLiteral("[0-9.]*") : QStringLiteral("[0-9]*");
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    edit->setMaxLength(maxLength);
    return edit;
}
