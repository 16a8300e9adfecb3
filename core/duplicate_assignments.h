#pragma once

#include "core/catalogue.h"
#include "core/preset_bank.h"

#include <string>
#include <vector>

namespace kestrow {

/// masterChannel when the device's master channel is not known.
constexpr int kMasterChannelUnknown = 0;

/// Knobs 0..15 of one preset that send one event: two or more, ascending.
using KnobGroup = std::vector<int>;

struct PresetDuplicates {
    int presetIndex = 0; ///< 0..127
    std::vector<KnobGroup> groups; ///< ordered by their first knob

    bool operator==(const PresetDuplicates&) const = default;
};

/// Same event: one code but No-Event, same parameter if it takes one, same channel if it shows one.
/// "Master" equals channel masterChannel (1..16); with kMasterChannelUnknown only "Master".
bool sendSameEvent(const Preset& preset, int knobA, int knobB, int masterChannel);

/// The groups of knobs of one preset that send the same event; empty when none collide.
std::vector<KnobGroup> duplicateKnobs(const Preset& preset, int masterChannel);

/// The presets with colliding knobs, ascending.
std::vector<PresetDuplicates> duplicateAssignments(const PresetSet& presets, int masterChannel);

/// One line per group, Windows-1252: `preset 7 "Name" / knobs 3, 5 / ` followed
/// by what the first knob sends.
std::string duplicateText(
    const Catalogue& catalogue, const Preset& preset, int presetIndex, const KnobGroup& group);

} // namespace kestrow
