#include "core/duplicate_assignments.h"

#include "core/bank_search.h"

namespace kestrow {

namespace {

    bool validKnob(int knob) { return knob >= 0 && knob < kKnobCount; }

    /// The channel a knob really sends on: "Master" resolved where known.
    std::int32_t sendingChannel(std::int32_t channel, int masterChannel)
    {
        return channel == 0 && masterChannel >= 1 && masterChannel <= 16 ? masterChannel : channel;
    }

} // namespace

bool sendSameEvent(const Preset& preset, int knobA, int knobB, int masterChannel)
{
    if (!validKnob(knobA) || !validKnob(knobB))
        return false;
    const auto a = static_cast<std::size_t>(knobA);
    const auto b = static_cast<std::size_t>(knobB);
    const std::int32_t code = preset.eventType[a];
    if (code == kNoEvent || code != preset.eventType[b])
        return false;
    if (eventUsesFixedParameter(code) && preset.fixedParameter[a] != preset.fixedParameter[b])
        return false;
    return !eventShowsChannel(code)
        || sendingChannel(preset.channel[a], masterChannel)
        == sendingChannel(preset.channel[b], masterChannel);
}

std::vector<KnobGroup> duplicateKnobs(const Preset& preset, int masterChannel)
{
    std::vector<KnobGroup> groups;
    std::array<bool, kKnobCount> grouped {};
    for (int first = 0; first < kKnobCount; ++first) {
        if (grouped[static_cast<std::size_t>(first)])
            continue;
        KnobGroup group { first };
        for (int other = first + 1; other < kKnobCount; ++other) {
            if (!grouped[static_cast<std::size_t>(other)]
                && sendSameEvent(preset, first, other, masterChannel)) {
                group.push_back(other);
                grouped[static_cast<std::size_t>(other)] = true;
            }
        }
        if (group.size() > 1)
            groups.push_back(std::move(group));
    }
    return groups;
}

std::vector<PresetDuplicates> duplicateAssignments(const PresetSet& presets, int masterChannel)
{
    std::vector<PresetDuplicates> found;
    for (int p = 0; p < kPresetCount; ++p) {
        std::vector<KnobGroup> groups
            = duplicateKnobs(presets[static_cast<std::size_t>(p)], masterChannel);
        if (!groups.empty())
            found.push_back({ p, std::move(groups) });
    }
    return found;
}

std::string duplicateText(
    const Catalogue& catalogue, const Preset& preset, int presetIndex, const KnobGroup& group)
{
    std::string knobs;
    for (int k : group)
        knobs += (knobs.empty() ? "" : ", ") + std::to_string(k + 1);
    return presetCaption(preset, presetIndex) + " / knobs " + knobs + " / "
        + (group.empty() ? std::string() : sendsText(catalogue, preset, group.front()));
}

} // namespace kestrow
