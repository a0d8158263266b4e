#pragma once

#include <QDialog>
#include <memory>

class FrontDesk;

// Starts a session on the selected machine (normal or overnight), or changes the running
// session of that machine ("限定时间").
class SessionStartDialog final : public QDialog
{
    Q_OBJECT

public:
    enum class Mode { Start, LimitTime };

    SessionStartDialog(FrontDesk &desk, Mode mode, QWidget *parent = nullptr);
    ~SessionStartDialog() override;

private:
    void start(bool overnight);
    void change();

    struct Private;
    std::unique_ptr<Private> d;
};
