#pragma once

#include "core/editor_state.h"
#include "ui/picker_host.h"

#include <QPoint>
#include <QString>
#include <Qt>

#include <functional>
#include <string>

namespace kestrow {

/// The knob table's gestures as plain calls: the widget turns mouse and key
/// events into these, tests call them directly. Cells are (column 0..5, row 0..16).
class KnobTableController {
public:
    KnobTableController(EditorState& state, PickerHost& host);

    /// Popups opened from the keyboard appear here (screen coordinates).
    static constexpr QPoint kKeyboardPopupPos { 200, 200 };

    CellPos currentCell() const { return m_current; }
    /// Moves the table cursor; the widget follows through onCurrentCellChanged.
    void setCurrentCell(CellPos cell);
    CellPos hoverCell() const { return m_hover; }

    /// Pointer over a cell ((-1, -1) off the grid). A new hover cell becomes the
    /// current cell, the table is redrawn and the picture shows its knob row.
    /// Returns whether the hover cell changed.
    bool hover(CellPos cell);

    /// allKnobsPending, selectedKnob and selectedField from the cell hit.
    void classify(CellPos cell);

    /// Release of the right mouse button over a cell, pointer at screenPos.
    void rightClick(CellPos cell, QPoint screenPos);
    /// The right-button action; popups open at popupPos, pickers know how they were opened.
    void actAsRightButton(CellPos cell, QPoint popupPos, bool byKeyboard);

    /// Left press: on a knob row starts a knob drag with the operation from the
    /// modifiers (clipboard loaded at once). Returns whether a drag is armed.
    bool leftPress(CellPos cell, bool shift, bool ctrl);

    /// Key-down on the table; returns true when the key is consumed.
    bool keyPress(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat = false);
    /// Key-up on the table.
    void keyRelease(int key, bool autoRepeat = false);

    /// Ctrl+C and Ctrl+V at the current cell.
    void copy();
    void paste();
    /// Digit typed in columns 2..5: opens the number entry box prefilled with it.
    void numberEntry(const QString& firstDigit);

    /// Knob 0..15 named from typed UTF-8 text; keeps the first 24 characters.
    /// The keystrokes of one editor are one undo step until nameEditFinished.
    void setKnobName(int knob, const QString& text);
    /// The in-place name editor closed: the next keystroke starts a new step.
    void nameEditFinished();

    // Heading popup actions on the selected preset; each redraws the preset.
    void initDescription();
    void incValues();
    void decValues();
    void copyInitValues();
    void pasteInitValues();
    void setAllInitValues(std::int32_t value);

    /// Called whenever the controller moves the current cell.
    std::function<void(CellPos)> onCurrentCellChanged;

private:
    void channelPopup(CellPos cell, QPoint popupPos);
    void initValuesPopup(QPoint popupPos);
    void fixedParameterPicker(int knob, bool byKeyboard);
    /// One undo step changing the selected preset, then the redraw.
    void edit(const std::string& name, const std::function<void(Preset&)>& change);
    void refresh();

    EditorState& m_state;
    PickerHost& m_host;
    CellPos m_current { 1, 1 };
    CellPos m_hover;
    CellPos m_savedCursor;
    CellPos m_lastKeyUpCell { 1, 1 };
    bool m_strokeStarted = false;
};

} // namespace kestrow
