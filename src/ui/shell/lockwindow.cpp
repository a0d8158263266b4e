#include "lockwindow.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

// Lines at 45° both ways, two pixels apart: the desktop shows through a fine cross-hatch.
QPixmap hatchTile()
{
    QImage tile(2, 2, QImage::Format_ARGB32);
    tile.fill(Qt::transparent);
    tile.setPixelColor(0, 0, QColor(0, 0, 0, 110));
    tile.setPixelColor(1, 1, QColor(0, 0, 0, 110));
    return QPixmap::fromImage(tile);
}

// The panel sits 800 twips (53 px) above the vertical centre.
constexpr int kPanelRaise = 53;

} // namespace

struct LockWindow::Private
{
    LoginService logins;
    QString lockedBy;
    std::function<void(bool)> setLocked;
    QPixmap snapshot;
    QLineEdit *name = nullptr;
    QLineEdit *password = nullptr;
    QLabel *notice = nullptr;
    bool locked = false;
};

LockWindow::LockWindow(LoginService logins, const QString &lockedBy, std::function<void(bool)> setLocked,
                       QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      d(std::make_unique<Private>(logins, lockedBy, std::move(setLocked)))
{
    setObjectName(QStringLiteral("frmScreen"));
    setWindowTitle(QStringLiteral("锁定桌面"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Every other window of the program stays blocked while the lock is shown.
    setWindowModality(Qt::ApplicationModal);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("picPanel"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setAutoFillBackground(true);
    auto *text =
        new QLabel(QStringLiteral("该计算机已经被 ") + lockedBy + QStringLiteral(" 锁定，只有超级管理员和") +
                       lockedBy + QStringLiteral("才能解除锁定"),
                   panel);
    text->setObjectName(QStringLiteral("lblText"));
    text->setWordWrap(true);
    d->name = new QLineEdit(panel);
    d->name->setObjectName(QStringLiteral("txtAdmin"));
    d->password = new QLineEdit(panel);
    d->password->setObjectName(QStringLiteral("txtPassword"));
    d->password->setEchoMode(QLineEdit::Password);
    auto *unlock = new QPushButton(QStringLiteral("取消锁定"), panel);
    unlock->setObjectName(QStringLiteral("cmdUnlock"));
    unlock->setDefault(true);
    // A second, picture-less click area doing the same as the button.
    auto *area = new QPushButton(panel);
    area->setObjectName(QStringLiteral("picUnlock"));
    area->setFlat(true);
    area->setFixedSize(24, 24);
    area->setFocusPolicy(Qt::NoFocus);

    // Only a pause for too many failures is said; a plain failure stays silent.
    d->notice = new QLabel(panel);
    d->notice->setObjectName(QStringLiteral("lblThrottle"));
    d->notice->setWordWrap(true);
    d->notice->hide();

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("管理员："), d->name);
    form->addRow(QStringLiteral("密码："), d->password);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(area);
    buttons->addStretch();
    buttons->addWidget(unlock);
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(text);
    panelLayout->addLayout(form);
    panelLayout->addWidget(d->notice);
    panelLayout->addLayout(buttons);
    panel->setFixedWidth(360);

    auto *outer = new QVBoxLayout(this);
    outer->addStretch(1);
    outer->addWidget(panel, 0, Qt::AlignHCenter);
    outer->addSpacing(2 * kPanelRaise);
    outer->addStretch(1);

    connect(unlock, &QPushButton::clicked, this, &LockWindow::tryUnlock);
    connect(area, &QPushButton::clicked, this, &LockWindow::tryUnlock);
    connect(d->password, &QLineEdit::returnPressed, this, &LockWindow::tryUnlock);

    if (QScreen *screen = QGuiApplication::primaryScreen())
        d->snapshot = screen->grabWindow(0);
}

LockWindow::~LockWindow()
{
    if (d->locked && d->setLocked)
        d->setLocked(false);
}

void LockWindow::lock()
{
    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    d->locked = true;
    if (d->setLocked)
        d->setLocked(true);
    showFullScreen();
    raise();
    activateWindow();
    d->name->setFocus();
}

void LockWindow::tryUnlock()
{
    if (const Result<> released = d->logins.unlock(d->lockedBy, d->name->text(), d->password->text());
        !released) {
        d->notice->setText(released.error());
        d->notice->setVisible(!released.error().isEmpty());
        d->password->clear();
        d->password->setFocus();
        return;
    }
    d->locked = false;
    if (d->setLocked)
        d->setLocked(false);
    emit released(d->name->text());
    close();
}

void LockWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!d->snapshot.isNull())
        p.drawPixmap(rect(), d->snapshot);
    else
        p.fillRect(rect(), palette().window());
    p.fillRect(rect(), QBrush(hatchTile()));
}

void LockWindow::closeEvent(QCloseEvent *event)
{
    // Alt+F4 and the like cannot end the lock; only an unlock can.
    if (d->locked)
        event->ignore();
    else
        event->accept();
}

void LockWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape ||
        (event->modifiers() & Qt::AltModifier && event->key() == Qt::Key_F4))
        return;
    QWidget::keyPressEvent(event);
}
