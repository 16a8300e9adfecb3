#pragma once

#include "core/editor_state.h"
#include "core/preset_bank.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kestrow {

// Edits of the knob table on the selected preset. Cells are (column 0..5,
// row 0..16): column c shows KnobField c - 1, row r knob r - 1; row 0 and
// column 0 are headings.

/// Whether a cell lies in the table (column 0..5, row 0..16).
bool isTableCell(CellPos cell);

/// Whether the knob's event fixes its channel (84, 85, 86, 90, 91, No-Event),
/// so that a right-click on the knob's channel offers no popup.
bool channelIsFixedByEvent(std::int32_t eventType);

/// What a right-click on the "Init Val" column may do.
enum class InitValueAccess {
    none, ///< not a zembraDial: the column does nothing
    notForLast, ///< zembraDial at preset 128: only a warning
    available,
};

/// The "Init Val" column's access for a variant and a preset index 0..127.
InitValueAccess initValueAccess(DeviceVariant variant, int presetIndex);

/// Gesture classification at a cell: allKnobsPending for a column heading other
/// than "#", selectedKnob = row - 1 and selectedField = column - 1 (-1 on headings).
void classifyGesture(PresetBank& bank, CellPos cell);

/// The column heading of a table column 0..5 as a step name uses it ("Channel",
/// "Event", "Fixed Par", "Init Val"; "Knob" for 0, "Name" for 1).
std::string columnStepLabel(int column);

/// Edit-menu name of assigning column selectedField as classified now:
/// "Set Channel of Knob 5", or "Set Event of All Knobs" with allKnobsPending.
std::string assignStepName(const PresetBank& bank);

/// "Init Description": knob names "Knob 1" ... "Knob 16".
void initDescription(Preset& preset);

/// "Inc. Values": knob k (0..15) gets knob 1's fixedParameter + k, at most 127.
void incValues(Preset& preset);

/// "Dec. Values": knob k (0..15) gets knob 1's fixedParameter - k, at least 0.
void decValues(Preset& preset);

/// "Copy Init Values": the 16 initial values into the store, which is then filled.
void copyInitValues(InitValueStore& store, const Preset& preset);

/// "Paste Init Values": the store's 16 values into the preset; false and
/// nothing changed while the store was never filled.
bool pasteInitValues(const InitValueStore& store, Preset& preset);

/// Ctrl+V of the clipboard at `target`, copied at `source`, on the selected
/// preset. Only within one column; column 0 moves whole knobs, columns 1..5 one
/// field. A knob row onto the heading fills all 16 knobs with it; a knob row
/// onto a knob row sets that knob; the heading onto the heading copies the 16
/// knobs one to one; the heading onto a knob row does nothing. Returns whether
/// anything was pasted.
bool pasteCells(PresetBank& bank, CellPos source, CellPos target);

/// Inclusive range of a number typed into a table column.
struct EntryRange {
    std::int32_t lowest = 0;
    std::int32_t highest = 0;
};

/// The typed-number range of column 2..5: 0..16 for "  Ch", 0..127 for the rest.
EntryRange entryRange(int column);

/// Assigns a typed number (nullopt: cancelled or not a number) to the selected
/// field, as classified at a cell of `column`. A value outside the column's
/// range changes nothing but clears allKnobsPending. Returns whether the
/// preset changed.
bool enterNumber(PresetBank& bank, int column, std::optional<std::int32_t> value);

} // namespace kestrow
