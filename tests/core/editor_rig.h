#pragma once

#include "core/editor_state.h"

namespace kestrow {

/// Everything an undo step may change, compared whole.
struct WorkingSet {
    std::array<Preset, kPresetCount> presets;
    Preset clipboard;
    DeviceVariant variant;
    bool operator==(const WorkingSet&) const = default;
};

/// The editing setup the knob and widget tests start from: bank, catalogue, state.
struct EditorRig {
    PresetBank bank;
    Catalogue catalogue;
    DeviceVariant deviceVariant; ///< the one variant the state reads
    EditHistory history { bank, deviceVariant };
    EditorState state { bank, catalogue, deviceVariant, history };

    explicit EditorRig(DeviceVariant variant = DeviceVariant::zembraControl)
        : deviceVariant(variant)
    {
    }
    Preset& preset() { return bank.presets[static_cast<std::size_t>(bank.selectedPreset)]; }
};

} // namespace kestrow
