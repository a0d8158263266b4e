#pragma once

#include "desk/shiftservice.h"

#include <QDialog>
#include <QList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "交班": the open shift's figures; the cashier types the cash counted and the float left for
// the next shift, and hands over. Accepted once the hand-over is stored; handedOver() then
// holds the shift as recorded.
class ShiftDialog final : public QDialog
{
    Q_OBJECT

public:
    ShiftDialog(ShiftService &shifts, const Shift &open, QWidget *parent = nullptr);

    const Shift &handedOver() const { return m_shift; }

private:
    void showDifference();
    void handOver();

    ShiftService &m_shifts;
    Shift m_shift;
    QLineEdit *m_counted;
    QLineEdit *m_left;
    QLabel *m_difference;
};

// "交班记录": the shifts handed over, the latest first; "打印" shows the chosen one's report.
class ShiftsWindow final : public QWidget
{
    Q_OBJECT

public:
    ShiftsWindow(ShiftService shifts, QWidget *parent = nullptr);

private:
    void printChosen();

    ShiftService m_service;
    QList<Shift> m_shifts;
    QTreeWidget *m_list;
};

// The shift's report in a print window, with the trail's `anchor` under it.
QWidget *showShiftReport(const Shift &shift, const QString &anchor, QWidget *parent);
