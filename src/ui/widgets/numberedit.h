#pragma once

#include <QLineEdit>

// A text field that takes only the digits (and ".", where decimals are allowed); other keys
// are discarded. Whatever gives it the focus selects its text, so a cashier types a new
// amount over the old one instead of behind it.
class NumberEdit final : public QLineEdit
{
public:
    explicit NumberEdit(QWidget *parent = nullptr) : QLineEdit(parent) {}

protected:
    void focusInEvent(QFocusEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // A click that brought the focus places the cursor on press; select on release instead.
    bool m_selectOnRelease = false;
};

QLineEdit *numberEdit(QWidget *parent, const QString &objectName, bool decimals, int maxLength = 32767);
