#pragma once

#include "desk/loginservice.h"

#include <QWidget>
#include <functional>
#include <memory>

// "锁定桌面": a full-screen, topmost window over a snapshot of the screen that blocks every
// other window of the program until the locking operator or a super administrator unlocks it.
// `setLocked` receives true when it is shown and false when it is released; the window then
// closes and deletes itself.
class LockWindow final : public QWidget
{
    Q_OBJECT

public:
    LockWindow(LoginService logins, const QString &lockedBy, std::function<void(bool)> setLocked,
               QWidget *parent = nullptr);
    ~LockWindow() override;

    // Shows the window full screen and turns the lock on.
    void lock();

signals:
    void released(const QString &by);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void tryUnlock();

    struct Private;
    std::unique_ptr<Private> d;
};
