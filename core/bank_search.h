#pragma once

#include "core/catalogue.h"
#include "core/preset_bank.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

/// What "Find" looks for. Every criterion given must hold; none given finds nothing.
struct SearchCriteria {
    std::vector<std::int32_t> eventTypes {}; ///< any of these codes; empty: any event
    std::optional<std::int32_t> parameter {}; ///< fixed parameter, of events that take one
    std::optional<std::int32_t> channel {}; ///< 0 "Master" or 1..16, of events that show one
    std::string text {}; ///< Windows-1252; part of a knob name or description, any case

    bool empty() const { return eventTypes.empty() && !parameter && !channel && text.empty(); }
};

/// The knob of a match on a preset's description.
constexpr int kDescriptionMatch = -1;

struct SearchMatch {
    int presetIndex = 0; ///< 0..127
    int knob = kDescriptionMatch; ///< 0..15, or kDescriptionMatch

    bool operator==(const SearchMatch&) const = default;
};

/// The event codes a typed name or number stands for: a number 0..127 is that
/// code; a name the codes named so (any case), else those whose name holds it.
/// Empty when nothing fits.
std::vector<std::int32_t> eventTypesNamed(const Catalogue& catalogue, std::string_view nameOrCode);

/// Knobs that meet every criterion, by preset and knob. The description
/// matches (after the preset's knobs) only when text is the sole criterion.
std::vector<SearchMatch> findAssignments(const PresetSet& presets, const SearchCriteria& criteria);

/// What knob 0..15 sends, in the catalogue's texts without their padding: the
/// event, its fixed parameter if it takes one, its channel if it shows one,
/// e.g. "Controller, 7:Volume, channel 5".
std::string sendsText(const Catalogue& catalogue, const Preset& preset, int knob);

/// `preset 7 "Name" `: how the listings of matches and collisions name preset 0..127.
std::string presetCaption(const Preset& preset, int presetIndex);

/// One line per match, Windows-1252: `preset 7 "Name" / knob 3 "Cutoff" / `
/// followed by sendsText, or `preset 7 "Name" / description`.
std::string matchText(
    const Catalogue& catalogue, const PresetSet& presets, const SearchMatch& match);

} // namespace kestrow
