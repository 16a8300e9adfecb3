#pragma once

#include "core/catalogue.h"
#include "core/preset_bank.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrow {

/// What differs in one preset between our set and theirs, stored values compared.
struct PresetDifference {
    int presetIndex = 0; ///< 0..127
    bool name = false;
    std::array<std::array<bool, 5>, kKnobCount> knobFields {}; ///< [knob 0..15][KnobField]
    bool description = false;

    bool knobDiffers(int knob) const;
    bool any() const;
    bool operator==(const PresetDifference&) const = default;
};

/// The differences of one pair of presets; any() is false when they are equal.
PresetDifference comparePresets(const Preset& ours, const Preset& theirs, int presetIndex);

/// The presets that differ, ascending; empty when the sets are equal.
std::vector<PresetDifference> compareSets(const PresetSet& ours, const PresetSet& theirs);

/// "Take theirs": our preset 0..127 becomes theirs, whole. False, and nothing
/// changed, for an index out of range or presets already equal.
bool takeTheirs(PresetSet& ours, const PresetSet& theirs, int presetIndex);

/// One differing part of a preset, as both sides show it (Windows-1252).
struct DifferenceRow {
    int presetIndex = 0; ///< 0..127
    int knob = -1; ///< 0..15; -1 for the preset's name or description
    std::string field; ///< "name", "channel", "event", "fixed parameter", "init value",
                       ///< "description"
    std::string ours;
    std::string theirs;
    /// The stored numbers, ours and theirs, where the texts agree and hide them.
    std::optional<std::pair<std::int32_t, std::int32_t>> numbers;

    bool operator==(const DifferenceRow&) const = default;
};

/// The differing parts in the order of `differences`: name, knobs 1..16 field
/// by field, description. Knob fields show the catalogue's cell texts.
std::vector<DifferenceRow> differenceRows(const Catalogue& catalogue, const PresetSet& ours,
    const PresetSet& theirs, const std::vector<PresetDifference>& differences);

/// One Windows-1252 line per differing part, ours left and theirs right:
/// `preset 7 / knob 3 event: "Controller" | "NoteOn"`. Knob fields show the
/// catalogue's cell texts, followed by the stored numbers where those texts agree.
std::vector<std::string> differenceListing(const Catalogue& catalogue, const PresetSet& ours,
    const PresetSet& theirs, const std::vector<PresetDifference>& differences);

} // namespace kestrow
