#include "ui/undo_pass_through.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

namespace kestrow {

namespace {

    enum class HistoryKey { none, undo, redo };

    HistoryKey historyKey(const QKeyEvent& key)
    {
        const QKeyCombination combination = key.keyCombination();
        if (combination == QKeyCombination(Qt::ControlModifier, Qt::Key_Z))
            return HistoryKey::undo;
        if (combination == QKeyCombination(Qt::ControlModifier, Qt::Key_Y)
            || combination == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z))
            return HistoryKey::redo;
        return HistoryKey::none;
    }

} // namespace

void UndoPassThrough::install(QWidget* editor)
{
    editor->installEventFilter(new UndoPassThrough(editor));
}

bool UndoPassThrough::passesToWindow(QObject* editor, bool undoKey)
{
    if (const auto* line = qobject_cast<QLineEdit*>(editor))
        return undoKey ? !line->isUndoAvailable() : !line->isRedoAvailable();
    if (const auto* text = qobject_cast<QPlainTextEdit*>(editor)) {
        const QTextDocument* document = text->document();
        return undoKey ? !document->isUndoAvailable() : !document->isRedoAvailable();
    }
    return true;
}

bool UndoPassThrough::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    const HistoryKey key = historyKey(*static_cast<QKeyEvent*>(event));
    if (key == HistoryKey::none || !passesToWindow(watched, key == HistoryKey::undo))
        return false;
    // Not accepted: the shortcut of the window's menu entry runs.
    event->ignore();
    return true;
}

} // namespace kestrow
