#pragma once

#include "core/editor_state.h"
#include "ui/knob_table_controller.h"
#include "ui/picker_host.h"

#include <QColor>
#include <QPalette>
#include <QTableWidget>

#include <array>
#include <vector>

namespace kestrow {

/// The owner-drawn 6 x 17 knob table of the selected preset. Mouse and key
/// events go to its KnobTableController; it redraws through the EditorState.
class KnobTable : public QTableWidget {
    Q_OBJECT
public:
    static constexpr std::array<int, 6> kColumnWidths { 19, 150, 39, 215, 135, 42 };
    static constexpr int kRowHeight = 18;

    KnobTable(EditorState& state, PickerHost& host, QWidget* parent = nullptr);
    ~KnobTable() override;

    KnobTableController& controller() { return m_controller; }
    EditorState& editorState() { return m_state; }

    /// Rewrites the 16 x 5 data cells from the preset (0..127).
    void refreshCells(int presetIndex);
    /// Rewrites one data cell of the selected preset.
    void refreshCell(CellPos cell);
    /// Cell at a viewport position, (-1, -1) outside the grid.
    CellPos cellAtPos(QPoint viewportPos) const;
    /// Viewport rectangle of a cell.
    QRect cellRect(CellPos cell) const;
    /// Closes an open knob-name editor without writing it back (every
    /// keystroke is in the bank already); nothing when none is open.
    void closeNameEditor();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void startKnobDrag();
    /// Tooltips on the knob numbers of knobs that send the same event as others.
    void markCollisions();

    EditorState& m_state;
    KnobTableController m_controller;
    QPoint m_lastMousePos { -1, -1 };
    bool m_dragArmed = false;
};

/// How one cell is drawn.
struct CellLook {
    QColor background;
    QColor text;
    bool showsText = true;
};

/// Knob-number cells of knobs that send the same event as another knob.
inline const QColor kCollisionColour { 0xFF, 0xB0, 0x60 };

/// The other knobs (0..15, ascending) of preset that send what knob 0..15 sends.
std::vector<int> collidingWith(const Preset& preset, int knob, int masterChannel);

/// Colours of cell (column, row) for the selected preset; highlighted = the
/// table has the focus and the cell is the current one.
CellLook knobCellLook(
    const EditorState& state, CellPos cell, bool highlighted, const QPalette& palette);

/// MIME type of knob drags between the knob table and the device picture.
inline constexpr const char* kKnobDragMime = "application/x-kestrow-knob";

/// Starts a modal drag of the knob loaded into the clipboard; the cursor shows the operation.
void execKnobDrag(QWidget* source, const EditorState& state, bool fromPicture);

} // namespace kestrow
