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
    /// Windows-1252; part of a preset name, knob name or description, any case.
    std::string name {};

    bool empty() const
    {
        return eventTypes.empty() && !parameter && !channel && text.empty() && name.empty();
    }
    bool assignment() const { return !eventTypes.empty() || parameter || channel; }
};

/// The knob of a match on a preset's description.
constexpr int kDescriptionMatch = -1;
/// The knob of a match on a preset's name.
constexpr int kPresetNameMatch = -2;

struct SearchMatch {
    int presetIndex = 0; ///< 0..127
    int knob = kDescriptionMatch; ///< 0..15, or kDescriptionMatch

    bool operator==(const SearchMatch&) const = default;
};

/// The event codes a typed name or number stands for: a number 0..127 is that
/// code; a name the codes named so (any case), else those whose name holds it.
/// Empty when nothing fits.
std::vector<std::int32_t> eventTypesNamed(const Catalogue& catalogue, std::string_view nameOrCode);

/// Whether a knob sending `code` with that parameter and channel meets the
/// event, parameter and channel criteria (all of them when none is given).
bool knobSends(const SearchCriteria& criteria, std::int32_t code, std::int32_t parameter,
    std::int32_t channel);

/// The matches of one preset, in order, for any way of keeping presets.
/// `view` answers eventType(k), fixedParameter(k), channel(k) and whether
/// the texts hold what is looked for: knobText(k), descriptionText() for
/// `text`; presetName(), knobName(k), descriptionName() for `name`.
///
/// With `name` alone the preset's name, its knobs' names and its description
/// match on their own. Otherwise a knob matches when it meets the event
/// criteria, its name holds `text`, and its own or its preset's name holds
/// `name`; the description matches only when no event criterion is given.
template <class View, class Add>
void matchPreset(const SearchCriteria& criteria, const View& view, int presetIndex, Add&& add)
{
    const bool nameOnly = !criteria.name.empty() && criteria.text.empty() && !criteria.assignment();
    if (nameOnly && view.presetName())
        add(SearchMatch { presetIndex, kPresetNameMatch });
    const bool inNamedPreset = criteria.name.empty() || (!nameOnly && view.presetName());
    for (int k = 0; k < kKnobCount; ++k) {
        if (knobSends(criteria, view.eventType(k), view.fixedParameter(k), view.channel(k))
            && (criteria.text.empty() || view.knobText(k)) && (inNamedPreset || view.knobName(k)))
            add(SearchMatch { presetIndex, k });
    }
    if (criteria.assignment())
        return;
    if (nameOnly ? view.descriptionName()
                 : view.descriptionText() && (inNamedPreset || view.descriptionName()))
        add(SearchMatch { presetIndex, kDescriptionMatch });
}

/// Knobs that meet every criterion, by preset and knob (see matchPreset).
std::vector<SearchMatch> findAssignments(const PresetSet& presets, const SearchCriteria& criteria);

/// What knob 0..15 sends, in the catalogue's texts without their padding: the
/// event, its fixed parameter if it takes one, its channel if it shows one,
/// e.g. "Controller, 7:Volume, channel 5".
std::string sendsText(const Catalogue& catalogue, const Preset& preset, int knob);

/// `preset 7 "Name" `: how the listings of matches and collisions name preset 0..127.
std::string presetCaption(const Preset& preset, int presetIndex);

/// One line per match, Windows-1252: `preset 7 "Name" / knob 3 "Cutoff" / `
/// followed by sendsText, `preset 7 "Name" / description`, or for a match on
/// the name `preset 7 "Name"`.
std::string matchText(
    const Catalogue& catalogue, const PresetSet& presets, const SearchMatch& match);
/// The same for a match in `preset`, the preset match.presetIndex names.
std::string matchText(const Catalogue& catalogue, const Preset& preset, const SearchMatch& match);

} // namespace kestrow
