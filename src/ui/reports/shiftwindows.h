#pragma once

#include "desk/shiftservice.h"

#include <QDialog>
#include <QWidget>
#include <memory>

// "交班": the open shift's figures; the cashier types the cash counted and the float left for
// the next shift, and hands over. Accepted once the hand-over is stored; handedOver() then
// holds the shift as recorded.
class ShiftDialog final : public QDialog
{
    Q_OBJECT

public:
    ShiftDialog(ShiftService &shifts, const Shift &open, QWidget *parent = nullptr);
    ~ShiftDialog() override;

    const Shift &handedOver() const;

private:
    void showDifference();
    void handOver();

    struct Private;
    std::unique_ptr<Private> d;
};

// "交班记录": the shifts handed over, the latest first; "打印" shows the chosen one's report.
class ShiftsWindow final : public QWidget
{
    Q_OBJECT

public:
    ShiftsWindow(ShiftService shifts, QWidget *parent = nullptr);
    ~ShiftsWindow() override;

private:
    void printChosen();

    struct Private;
    std::unique_ptr<Private> d;
};

// The shift's report in a print window, with the trail's `anchor` under it.
QWidget *showShiftReport(const Shift &shift, const QString &anchor, QWidget *parent);
