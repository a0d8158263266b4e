#pragma once

#include <QLineEdit>

// A text field that takes only the digits (and ".", where decimals are allowed); other keys
// are discarded.
QLineEdit *numberEdit(QWidget *parent, const QString &objectName, bool decimals, int maxLength = 32767);
