#pragma once

#include "core/editor_state.h"

#include <QPixmap>

class QDrag;

namespace kestrow {

/// The six drag cursors, numbered as the program registers them: 1 "COPYCURSOR",
/// 2 "MOVECURSOR", 3 "SWAPCURSOR" for drags from the tree and the knob table,
/// 4 "C2", 5 "M2", 6 "S2" for knob drags from the device picture.
enum class DragCursor { copy = 1, move = 2, swap = 3, c2 = 4, m2 = 5, s2 = 6 };

/// The cursor's picture, 32 x 32 logical pixels with the hot spot at the top
/// left, drawn for `pixelRatio` device pixels per logical one.
QPixmap dragCursorPixmap(DragCursor cursor, qreal pixelRatio = 1.0);

/// The cursor a drag shows for an operation; fromPicture picks C2/M2/S2.
/// Returns false for None, which shows the ordinary drag cursor.
bool dragCursorFor(DragOperation operation, bool fromPicture, DragCursor& cursor);

/// Gives `drag` the operation's cursor for every drop action, drawn when the
/// drag starts (none at start-up); None keeps the ordinary drag cursor.
void setOperationCursor(QDrag& drag, DragOperation operation, bool fromPicture);

} // namespace kestrow
