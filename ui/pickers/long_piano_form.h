#pragma once

#include "core/editor_state.h"
#include "ui/accessible_parts.h"

#include <QDialog>
#include <QPainterPath>

namespace kestrow {

class PianoKeys;

/// Note picker: a 751 x 60 piano of the notes 0..127, 70 pixels per octave.
class TLongPianoForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 751;
    static constexpr int kHeight = 60;

    explicit TLongPianoForm(EditorState& state, QWidget* parent = nullptr);

    /// Note 0..127 under a point of the piano, or -1.
    static int noteAt(int x, int y);
    /// Outline of a key; empty for anything outside 0..127.
    static QPainterPath keyShape(int note);
    static bool isBlackKey(int note);

    /// Shows the note red, makes it the keyboard note and runs the picker modally.
    int openNotePicker(int note);
    /// Prepares an opening without running it (the caption and both notes).
    void prepare(int note);

    /// The note's name as the picker's caption shows it.
    QString noteText(int note) const;
    int keyboardNote() const { return m_keyboard; }
    int currentNote() const { return m_current; }
    PianoKeys* keys() const { return m_keys; }

    // Gestures in piano coordinates (the key widget and tests call them).
    void pointerMoved(QPoint pos);
    void buttonReleased(Qt::MouseButton button);
    void keyPressed(int key);
    /// assignSelectedField(note), then refreshKnobCell.
    void assign(int note);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    void moveKeyboardNote(int note);

    EditorState& m_state;
    PianoKeys* m_keys = nullptr;
    int m_current = -1;
    int m_keyboard = 0;
};

/// The drawn keys inside the note picker; assistive technology sees each
/// key as a button named after its note.
class PianoKeys : public QWidget, public AccessibleParts {
    Q_OBJECT
public:
    explicit PianoKeys(TLongPianoForm& form);

    int accessiblePartCount() const override { return 128; }
    QString accessiblePartName(int part) const override { return m_form.noteText(part); }
    QRect accessiblePartRect(int part) const override;
    QAccessible::Role accessiblePartRole() const override { return QAccessible::Button; }
    /// As a click on the key: takes the note and closes the picker.
    void pressAccessiblePart(int part) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TLongPianoForm& m_form;
};

} // namespace kestrow
