#include "core/bank_search.h"

#include "core/text_codec.h"

#include <charconv>

namespace kestrow {

namespace {

    constexpr std::int32_t kHighestCode = 127;

    bool contains(const std::string& text, const std::string& loweredPart)
    {
        return lowerCase1252(text).find(loweredPart) != std::string::npos;
    }

    std::string withoutPadding(const std::string& text)
    {
        const std::size_t first = text.find_first_not_of(' ');
        if (first == std::string::npos)
            return {};
        return text.substr(first, text.find_last_not_of(' ') + 1 - first);
    }

} // namespace

std::vector<std::int32_t> eventTypesNamed(const Catalogue& catalogue, std::string_view nameOrCode)
{
    std::int32_t code = -1;
    const char* end = nameOrCode.data() + nameOrCode.size();
    const auto [stop, error] = std::from_chars(nameOrCode.data(), end, code);
    if (error == std::errc() && stop == end && !nameOrCode.empty())
        return code >= 0 && code <= kHighestCode ? std::vector<std::int32_t> { code }
                                                 : std::vector<std::int32_t> {};

    const std::string wanted = lowerCase1252(nameOrCode);
    std::vector<std::int32_t> equal;
    std::vector<std::int32_t> holding;
    for (std::int32_t c = 0; c <= kHighestCode && !wanted.empty(); ++c) {
        const std::string name
            = lowerCase1252(catalogue.eventTypeNames[static_cast<std::size_t>(c)]);
        if (name.empty())
            continue;
        if (name == wanted)
            equal.push_back(c);
        else if (name.find(wanted) != std::string::npos)
            holding.push_back(c);
    }
    return equal.empty() ? holding : equal;
}

bool knobSends(
    const SearchCriteria& criteria, std::int32_t code, std::int32_t parameter, std::int32_t channel)
{
    if (!criteria.eventTypes.empty()) {
        bool any = false;
        for (std::int32_t wanted : criteria.eventTypes)
            any = any || wanted == code;
        if (!any)
            return false;
    }
    if (criteria.parameter && (!eventUsesFixedParameter(code) || parameter != *criteria.parameter))
        return false;
    if (criteria.channel && (!eventShowsChannel(code) || channel != *criteria.channel))
        return false;
    return true;
}

namespace {

    /// A preset of the working set as matchPreset asks it.
    struct PresetView {
        const Preset& preset;
        const std::string& text; ///< lowered
        const std::string& name; ///< lowered

        static std::size_t at(int k) { return static_cast<std::size_t>(k); }
        std::int32_t eventType(int k) const { return preset.eventType[at(k)]; }
        std::int32_t fixedParameter(int k) const { return preset.fixedParameter[at(k)]; }
        std::int32_t channel(int k) const { return preset.channel[at(k)]; }
        bool knobText(int k) const { return contains(preset.knobName[at(k)], text); }
        bool descriptionText() const { return contains(preset.description, text); }
        bool presetName() const { return contains(preset.name, name); }
        bool knobName(int k) const { return contains(preset.knobName[at(k)], name); }
        bool descriptionName() const { return contains(preset.description, name); }
    };

} // namespace

std::vector<SearchMatch> findAssignments(const PresetSet& presets, const SearchCriteria& criteria)
{
    std::vector<SearchMatch> matches;
    if (criteria.empty())
        return matches;
    const std::string text = lowerCase1252(criteria.text);
    const std::string name = lowerCase1252(criteria.name);
    const auto add = [&matches](const SearchMatch& match) { matches.push_back(match); };
    for (int p = 0; p < kPresetCount; ++p)
        matchPreset(
            criteria, PresetView { presets[static_cast<std::size_t>(p)], text, name }, p, add);
    return matches;
}

std::string sendsText(const Catalogue& catalogue, const Preset& preset, int knob)
{
    if (knob < 0 || knob >= kKnobCount)
        return {};
    const std::int32_t code = preset.eventType[static_cast<std::size_t>(knob)];
    std::string text = withoutPadding(catalogue.cellText(preset, knob, kFieldEventType));
    if (eventUsesFixedParameter(code))
        text += ", " + withoutPadding(catalogue.cellText(preset, knob, kFieldFixedParameter));
    if (eventShowsChannel(code))
        text += ", channel " + withoutPadding(catalogue.cellText(preset, knob, kFieldChannel));
    return text;
}

std::string presetCaption(const Preset& preset, int presetIndex)
{
    return "preset " + std::to_string(presetIndex + 1) + " \"" + preset.name + "\"";
}

std::string matchText(
    const Catalogue& catalogue, const PresetSet& presets, const SearchMatch& match)
{
    if (match.presetIndex < 0 || match.presetIndex >= kPresetCount)
        return {};
    return matchText(catalogue, presets[static_cast<std::size_t>(match.presetIndex)], match);
}

std::string matchText(const Catalogue& catalogue, const Preset& preset, const SearchMatch& match)
{
    if (match.knob == kPresetNameMatch)
        return presetCaption(preset, match.presetIndex);
    const std::string head = presetCaption(preset, match.presetIndex) + " / ";
    if (match.knob < 0 || match.knob >= kKnobCount)
        return head + "description";
    return head + "knob " + std::to_string(match.knob + 1) + " \""
        + preset.knobName[static_cast<std::size_t>(match.knob)] + "\" / "
        + sendsText(catalogue, preset, match.knob);
}

} // namespace kestrow
