#pragma once

#include "desk/trailservice.h"

#include <QWidget>
#include <memory>

// "操作记录": the operator trail (on a server with the counter of each entry), filtered by
// period, operator, machine and kind, with the check of the whole chain ("校验") and a CSV
// copy. For "D" operators.
class TrailWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit TrailWindow(TrailService trail, QWidget *parent = nullptr);
    ~TrailWindow() override;

    // Lists the entries that match the filters.
    void refresh();
    // Checks the whole chain and says what it found.
    void check();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
