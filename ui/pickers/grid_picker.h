#pragma once

#include "core/editor_state.h"

#include <QDialog>
#include <QPoint>

namespace kestrow {

class PickerGrid;

/// Base of the grid pickers: a modal dialog around an owner-drawn grid in
/// which each cell stands for one value. Subclasses give texts, captions and
/// what choosing a value does.
class GridPicker : public QDialog {
    Q_OBJECT
public:
    struct Layout {
        int columns;
        int rows;
        int cellWidth;
        int cellHeight;
        bool rowMajor; ///< value = column + columns * row; else value = rows * column + row
    };

    /// The 4 x 32 grid of the controller, event, parameter and factory pickers.
    static constexpr Layout kTallGrid { 4, 32, 120, 13, false };

    GridPicker(EditorState& state, Layout layout, const QString& caption, QSize clientSize,
        QWidget* parent);

    const Layout& layout() const { return m_layout; }
    /// Value of cell (column, row), or -1 outside the grid.
    int valueAt(int column, int row) const;
    /// Cell of a value 0..count-1; (-1, -1) for anything else.
    QPoint cellOf(int value) const;
    int valueCount() const { return m_layout.columns * m_layout.rows; }

    /// Value whose cell is marked red; -1 marks none.
    int markedValue() const { return m_marked; }
    void setMarkedValue(int value);
    /// Value of the keyboard cell (hover or arrow keys).
    int keyboardValue() const { return m_keyboard; }
    void setKeyboardValue(int value);
    bool openedByKeyboard() const { return m_openedByKeyboard; }

    /// Sets the marked cell and the flag, then runs the dialog modally.
    int openPicker(int marked, bool byKeyboard);

    // Gestures in grid coordinates (the grid widget and tests call them).
    /// Pointer over the grid; a new valid cell becomes the keyboard cell.
    void pointerMoved(QPoint gridPos);
    /// A button pressed over the grid.
    virtual void buttonPressed(QPoint gridPos, Qt::MouseButton button);
    /// A button released over the grid.
    virtual void buttonReleased(QPoint gridPos, Qt::MouseButton button);
    /// A key released on the picker.
    virtual void keyReleased(int key);

    /// Value under a grid position, or -1.
    int valueAtPos(QPoint gridPos) const;
    /// Grid-widget rectangle of a value's cell.
    QRect cellRect(int value) const;
    PickerGrid* grid() const { return m_grid; }

    /// Text drawn in the cell of a value.
    virtual QString cellText(int value) const = 0;
    /// Whether the value's cell is drawn grey without text and refuses a choice.
    virtual bool greyed(int value) const;
    /// Draws one cell; the base draws greyed, marked, keyboard and plain cells.
    virtual void paintCell(QPainter& painter, int value, const QRect& rect) const;
    /// Chooses a value: writes it into the working set.
    virtual void assign(int value) = 0;

protected:
    virtual QString moveCaption(int value) const = 0;
    virtual QString releaseCaption(int value) const { return moveCaption(value); }
    virtual QString keyCaption(int value) const { return moveCaption(value); }
    /// Whether the marked cell is drawn at all.
    virtual bool showsMark() const { return true; }
    /// Left inset of a plain cell's text.
    virtual int textInset() const { return 2; }
    /// Whether closing moves the pointer back to where the knob table opened the picker.
    virtual bool restoresPointer() const { return true; }

    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void done(int result) override;

    EditorState& m_state;

private:
    Layout m_layout;
    PickerGrid* m_grid = nullptr;
    int m_marked = -1;
    int m_keyboard = 0;
    bool m_openedByKeyboard = false;
    QPoint m_lastPointer { -1, -1 };
};

/// The owner-drawn grid inside a GridPicker.
class PickerGrid : public QWidget {
    Q_OBJECT
public:
    explicit PickerGrid(GridPicker& picker);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    GridPicker& m_picker;
};

/// Moves a dialog that would stick out of its screen back inside it
/// (the design positions assume a large screen).
void keepOnScreen(QWidget& dialog);

/// Upper-case hexadecimal with at least two digits.
QString hexByte(int value);

} // namespace kestrow
