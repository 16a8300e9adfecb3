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

/// Moves the shown `window` beside `main` on main's screen.
void placeBeside(QWidget& window, const QWidget& main);

} // namespace kestrow
