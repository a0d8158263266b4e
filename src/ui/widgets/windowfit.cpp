#include "windowfit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace WindowFit {

namespace {
// The icon on the left and the minimise, maximise and close buttons on the right.
constexpr int kTitleBarButtons = 160;
} // namespace

void fit(QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect free = screen->availableGeometry().marginsRemoved(kFrame);
    const QSize size = window->size().boundedTo(free.size()).expandedTo(window->minimumSize());
    if (size != window->size())
        window->resize(size);
    if (!window->isVisible())
        return;
    QRect placed(window->pos(), size);
    if (placed.right() > free.right())
        placed.moveRight(free.right());
    if (placed.bottom() > free.bottom())
        placed.moveBottom(free.bottom());
    placed.moveLeft(std::max(placed.left(), free.left()));
    placed.moveTop(std::max(placed.top(), free.top()));
    window->move(placed.topLeft());
}

int titleWidth(const QString &title)
{
    QFont font = QApplication::font();
    font.setBold(true);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() + 1);
    return QFontMetrics(font).horizontalAdvance(title) + kTitleBarButtons;
}

} // namespace WindowFit
