#pragma once

#include "core/catalogue.h"
#include "core/edit_history.h"
#include "core/preset_bank.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace kestrow {

/// Operation of a knob or preset drag; the numbers are the ones the device
/// settings keep for the key map.
enum class DragOperation : std::int32_t { copy = 0, swap = 1, move = 2, none = 3 };

/// A knob-table cell: column 0..5, row 0..16 (row 0 and column 0 are headings).
struct CellPos {
    int column = -1;
    int row = -1;
    bool operator==(const CellPos&) const = default;
};

/// A position on the screen in pixels, as the windowing system reports it.
struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

/// Buffer of "Copy Init Values" / "Paste Init Values".
struct InitValueStore {
    std::array<std::int32_t, kKnobCount> values {};
    bool filled = false;
};

/// What the main window does for the editing widgets. Every hook may be left
/// empty; the widgets then skip that step.
struct EditorHooks {
    /// Rewrites heading, description box and tree item of preset 0..127 (refreshKnobTable's rest).
    std::function<void(int presetIndex)> refreshPresetView;
    /// Selects preset 0..127 in the tree with the selection-change steps; keeps the keyboard focus.
    std::function<void(int presetIndex)> selectPreset;
    /// Enables the four preset paste commands after a Ctrl+C on the table's cell (0, 0).
    std::function<void()> enablePresetPaste;
    /// Asks the device for the selected preset's initial values ("get Init Values from ...").
    std::function<void()> requestInitValues;
    /// Sends the selected preset's initial values at once ("send Init Values to zembraDial").
    std::function<void()> sendInitValues;
};

/// The editing state shared by the main window, the knob table, the device
/// picture and the pickers. The main window owns one and passes it in.
class EditorState {
public:
    /// `variant` is the run's one device variant, read here and never copied;
    /// `history` records every change the editing widgets make to `bank`.
    EditorState(
        PresetBank& bank, Catalogue& catalogue, const DeviceVariant& variant, EditHistory& history);

    PresetBank& bank;
    Catalogue& catalogue;
    const DeviceVariant& variant;
    EditHistory& history;
    /// The device's master channel (1..16) once it is known, else 0: a
    /// "Master" knob and one on that channel then send the same event.
    std::function<int()> knownMasterChannel = [] { return 0; };

    DragOperation dragOperation = DragOperation::copy;
    /// Operations for a drag started with Shift alone, Ctrl alone, neither key.
    std::array<DragOperation, 3> dragKeyMap { DragOperation::swap, DragOperation::move,
        DragOperation::copy };
    int dragOrigin = 0; ///< 1 = preset tree, 2 = device picture or knob table
    int dragColumn = 0; ///< knob-table column of a knob drag; 0 = whole knob
    int dragSourceKnob = 0; ///< 1-based knob where a knob drag started
    int dropTargetKnob = 0; ///< 1-based knob of the last drop; 0 = table heading row
    int hoverKnob = -1; ///< 1-based knob the picture highlights; 0 and -1 highlight none

    InitValueStore initValues;
    CellPos copySource; ///< current cell at the last Ctrl+C; (-1, -1) until then
    /// Screen position of the pointer when the knob table opened a popup or
    /// picker; the window moves the pointer back there when the choice is made.
    std::optional<ScreenPoint> savedPointer;

    EditorHooks hooks;

    /// The operation a drag gets from the modifier keys held at its start.
    DragOperation operationFor(bool shift, bool ctrl) const;
    /// Current preset (0..127).
    Preset& preset() { return bank.presets[static_cast<std::size_t>(bank.selectedPreset)]; }
    /// Whether the "Init Val" column is live: zembraDial, and not preset 128.
    bool initValuesAvailable() const;

    /// Opens one undo step on the selected preset, named for the Edit menu;
    /// change the preset while the returned scope lives. Steps with the same
    /// non-empty merge key in a row are one typing burst.
    [[nodiscard]] EditHistory::Scope recordEdit(std::string name, std::string mergeKey = {});
    /// assignSelectedField on the selected preset as one undo step.
    void assignSelectedField(std::int32_t value);

    /// The one redraw path after a preset changed: table cells, then the main window's part.
    void refreshKnobTable(int presetIndex);
    /// Rewrites the single cell (selectedField + 1, selectedKnob + 1).
    void refreshKnobCell();
    /// Rewrites one knob-table cell.
    void refreshCell(CellPos cell);
    /// Shows knob 1..16 highlighted in the device picture; any other value shows none.
    void showKnob(int knob);

    /// How a view follows the redraw calls; any member may be empty.
    struct View {
        std::function<void(int presetIndex)> table;
        std::function<void(CellPos)> cell;
        std::function<void(int knob)> knob;
    };
    /// Views register themselves under their own address and leave when destroyed.
    void addView(const void* owner, View view) { m_views[owner] = std::move(view); }
    void removeView(const void* owner) { m_views.erase(owner); }

private:
    std::map<const void*, View> m_views;
};

} // namespace kestrow
