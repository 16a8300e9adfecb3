#pragma once

#include "core/editor_state.h"
#include "core/preset_bank.h"

#include <vector>

namespace kestrow {

/// How a preset's tree item is painted.
enum class TreeShade { highlight, background, silver, white };

/// What decides the bank-group shading of the preset tree.
struct BankGroupOptions {
    DeviceVariant variant = DeviceVariant::zembraControl;
    bool showBankGroups = true;
    bool variable = false; ///< "&variable" rather than "fi&xed"
};

/// Background of the item of preset 0..127: the selected preset is highlighted
/// (or shows the desktop colour when not drawn selected); on a zembraDial with
/// groups shown the others alternate white/silver in groups of four, fixed from
/// preset 1 or moving with the selection; otherwise white.
TreeShade presetItemShade(
    int presetIndex, int selectedPreset, bool drawnSelected, const BankGroupOptions& options);

/// Applies a tree drop of preset `source` on preset `target` (both 0..127) and
/// returns the presets to select afterwards, in order (selecting an item that
/// is already selected does nothing): for Move each preset that moved, then
/// target, source, target. Out-of-range indices or None change nothing and
/// return an empty list.
std::vector<int> applyPresetDrop(PresetBank& bank, int source, int target, DragOperation operation);

/// The preset index (0..127) after clicking switch 1..7, which toggles bit
/// switchNumber - 1 of selectedPreset; any other switch leaves it as it is.
int presetAfterSwitchClick(int selectedPreset, int switchNumber);

/// Takes factory preset 0..127 over into the selected preset, whole. Refused
/// (false, nothing changed) for an index out of range or a preset that does
/// not fit the variant.
bool takeFactoryPreset(PresetBank& bank, int factoryIndex, DeviceVariant variant);

} // namespace kestrow
