#include "ui/screen_pointer.h"

#include <QCursor>

namespace kestrow {

void savePointer(EditorState& state) { state.savedPointer = toScreenPoint(QCursor::pos()); }

void restorePointer(const EditorState& state)
{
    if (state.savedPointer)
        QCursor::setPos(toQPoint(*state.savedPointer));
}

} // namespace kestrow
