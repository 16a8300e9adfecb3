#pragma once

#include "core/editor_state.h"

// Knob drags: the dragged knob travels in the clipboard's 16 knob slots; a drop
// on the knob table or the device picture copies, swaps or moves knobs of the
// selected preset. Knobs are 1-based here, as the table rows and picture show them.

namespace kestrow {

/// Copies table column `column` of clipboard slot `from` into knob `to` of the
/// selected preset: 0 the whole knob, 1..5 name, channel, event, parameter, init value.
void pasteClipboardColumn(PresetBank& bank, int column, int from, int to);

/// Starts a knob drag from knob 1..16 of the selected preset: fixes dragSourceKnob,
/// dragColumn (0 = whole knob) and dragOrigin = 2 and loads the knob into all 16
/// clipboard slots. dragOperation must already be set.
void startKnobDrag(EditorState& state, int knob, int column);

/// Whether the knob table takes the drag in progress at (column 0..5, row 0..16).
bool tableAcceptsDrag(const EditorState& state, CellPos cell);

/// Drops the drag in progress on the knob table; returns false when refused or
/// when nothing changed. Refreshes the preset view after a change.
bool dropOnTable(EditorState& state, CellPos cell);

/// Whether the device picture takes the drag in progress.
bool pictureAcceptsDrag(const EditorState& state);

/// Drops the drag in progress on knob 1..16 of the picture (whole knobs only);
/// anything else changes nothing. Returns whether the preset changed.
bool dropOnPicture(EditorState& state, int targetKnob);

/// A button release over knob 1..16 of the picture that ends no drag: the
/// knob takes clipboard slot `knob` and becomes dropTargetKnob. Anything else
/// changes nothing. Returns whether the preset changed.
bool releaseOnPicture(EditorState& state, int knob);

/// Moves knob `from` (1-based) to place `to` through the clipboard, the knobs
/// between shifting one place toward `from`; the clipboard must hold `from`.
void moveKnobChain(EditorState& state, int from, int to);

} // namespace kestrow
