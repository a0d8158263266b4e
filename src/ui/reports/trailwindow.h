#pragma once

#include "desk/trailservice.h"

#include <QWidget>

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QTreeWidget;

// "操作记录": the operator trail (on a server with the counter of each entry), filtered by
// period, operator, machine and kind, with the check of the whole chain ("校验") and a CSV
// copy. For "D" operators.
class TrailWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit TrailWindow(TrailService trail, QWidget *parent = nullptr);

    // Lists the entries that match the filters.
    void refresh();
    // Checks the whole chain and says what it found.
    void check();

private:
    TrailService m_trail;
    QDateTimeEdit *m_from;
    QDateTimeEdit *m_to;
    QLineEdit *m_operator;
    QLineEdit *m_machine;
    QComboBox *m_kind;
    QTreeWidget *m_list;
    QLabel *m_anchor;
};
