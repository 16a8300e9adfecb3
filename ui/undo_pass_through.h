#pragma once

#include <QObject>

class QWidget;

namespace kestrow {

/// Decides who gets Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z inside a text editor (a
/// QLineEdit or QPlainTextEdit): while the editor has text changes of its own
/// to take back or put back it keeps the keys, as Qt's editors do; otherwise
/// the keys go on to the window's "Undo" and "Redo".
class UndoPassThrough : public QObject {
    Q_OBJECT
public:
    /// Watches `editor` for as long as it lives.
    static void install(QWidget* editor);

    /// Whether the editor leaves an undo or redo key to the window.
    static bool passesToWindow(QObject* editor, bool undoKey);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

} // namespace kestrow
