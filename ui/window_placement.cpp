#include "ui/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace kestrow {

QPoint besidePosition(const QRect& main, const QSize& size, const QRect& screen)
{
    const int roomRight = screen.right() - main.right();
    const int roomLeft = main.left() - screen.left();
    int x = 0;
    if (size.width() <= roomRight)
        x = main.right() + 1;
    else if (size.width() <= roomLeft)
        x = main.left() - size.width();
    else
        x = roomRight >= roomLeft ? main.right() + 1 : main.left() - size.width();
    int y = main.top();
    // Kept on the screen; a window larger than the screen shows its top left.
    x = std::max(screen.left(), std::min(x, screen.right() + 1 - size.width()));
    y = std::max(screen.top(), std::min(y, screen.bottom() + 1 - size.height()));
    return { x, y };
}

bool canPlaceWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void makeTransientFor(QWidget& window, QWidget& main)
{
    if (window.parentWidget() != nullptr || &window == &main)
        return; // a child window is transient for its parent already
    window.winId();
    main.winId();
    if (window.windowHandle() != nullptr)
        window.windowHandle()->setTransientParent(main.windowHandle());
}

void placeBeside(QWidget& window, const QWidget& main)
{
    const QScreen* screen = main.screen();
    if (screen == nullptr || !canPlaceWindows())
        return;
    // The frame's extra size, as far as the window system has told it.
    const QSize frame = window.frameGeometry().size() - window.geometry().size();
    const QPoint corner
        = besidePosition(main.frameGeometry(), window.size() + frame, screen->availableGeometry());
    window.move(corner);
}

} // namespace kestrow
