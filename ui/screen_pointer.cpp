#include "ui/screen_pointer.h"

#include "ui/window_placement.h"

#include <QCursor>

namespace kestrow {

void savePointer(EditorState& state) { state.savedPointer = toScreenPoint(QCursor::pos()); }

void restorePointer(const EditorState& state)
{
    // Wayland keeps the pointer the user's; the picker works the same without.
    if (state.savedPointer && canPlaceWindows())
        QCursor::setPos(toQPoint(*state.savedPointer));
}

} // namespace kestrow
