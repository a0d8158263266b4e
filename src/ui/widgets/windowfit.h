#pragma once

#include <QMargins>
#include <QString>

class QWidget;

// Windows sized for the counter's screen, which may be as small as 1024×768.
namespace WindowFit {

// What a window manager adds around a window: the title bar and the borders.
inline constexpr QMargins kFrame{4, 30, 4, 4};

// Shrinks `window` (never below its minimum size) so that it and its frame fit the screen's
// free area, and moves it back onto the screen if it reaches beyond.
void fit(QWidget *window);

// The least width at which a window shows `title` whole in its title bar: the title in the
// title bar's bold font, and room for the window's icon and its three buttons.
int titleWidth(const QString &title);

} // namespace WindowFit
