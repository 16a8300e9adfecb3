#pragma once

#include "core/editor_state.h"

#include <QPoint>

namespace kestrow {

/// The toolkit's point as the editor's screen position, and back.
inline ScreenPoint toScreenPoint(QPoint point) { return { point.x(), point.y() }; }
inline QPoint toQPoint(ScreenPoint point) { return { point.x, point.y }; }

/// Remembers where the mouse pointer is now (EditorState::savedPointer).
void savePointer(EditorState& state);

/// Moves the pointer back to the saved position; does nothing before a save.
void restorePointer(const EditorState& state);

} // namespace kestrow
