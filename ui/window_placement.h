#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace kestrow {

/// Top-left corner for a window of `size` (frame included) that opens beside
/// the main window's frame `main` on a screen whose free area is `screen`:
/// to its right when it fits there, else to its left, else on the side with
/// more room; tops aligned; always wholly on the screen when it fits on it.
QPoint besidePosition(const QRect& main, const QSize& size, const QRect& screen);

/// Whether the window system lets a program place its top-level windows and
/// the mouse pointer. Wayland does not: there the compositor places windows
/// (transient ones near their parent) and the pointer stays the user's.
bool canPlaceWindows();

/// Makes a parentless top-level `window` a transient child of `main`, which
/// every window system honours: it stays above main and opens near it.
void makeTransientFor(QWidget& window, QWidget& main);

/// Moves the shown `window` beside `main` on main's screen, where the window
/// system allows it.
void placeBeside(QWidget& window, const QWidget& main);

} // namespace kestrow
