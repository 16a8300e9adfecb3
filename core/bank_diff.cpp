#include "core/bank_diff.h"

#include <cstdio>

namespace kestrow {

namespace {

    constexpr std::array<const char*, 5> kFieldLabels {
        "name",
        "channel",
        "event",
        "fixed parameter",
        "init value",
    };

    /// Text in double quotes, with quotes, backslashes and control bytes escaped
    /// so that a description's line breaks keep one difference on one line.
    std::string quoted(const std::string& text)
    {
        std::string out = "\"";
        for (char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (c == '\n') {
                out += "\\n";
            } else if (c == '\r') {
                out += "\\r";
            } else if (c == '\t') {
                out += "\\t";
            } else if (byte < 0x20 || byte == 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", byte);
                out += hex;
            } else {
                out += c;
            }
        }
        return out + "\"";
    }

    std::int32_t storedField(const Preset& preset, std::size_t knob, int field)
    {
        switch (field) {
        case kFieldChannel:
            return preset.channel[knob];
        case kFieldEventType:
            return preset.eventType[knob];
        case kFieldFixedParameter:
            return preset.fixedParameter[knob];
        case kFieldInitValue:
            return preset.initValue[knob];
        default:
            return 0;
        }
    }

    std::string sides(const std::string& ours, const std::string& theirs)
    {
        return quoted(ours) + " | " + quoted(theirs);
    }

} // namespace

bool PresetDifference::knobDiffers(int knob) const
{
    if (knob < 0 || knob >= kKnobCount)
        return false;
    for (bool field : knobFields[static_cast<std::size_t>(knob)]) {
        if (field)
            return true;
    }
    return false;
}

bool PresetDifference::any() const
{
    bool knobs = false;
    for (int k = 0; k < kKnobCount; ++k)
        knobs = knobs || knobDiffers(k);
    return name || description || knobs;
}

PresetDifference comparePresets(const Preset& ours, const Preset& theirs, int presetIndex)
{
    PresetDifference d;
    d.presetIndex = presetIndex;
    d.name = ours.name != theirs.name;
    d.description = ours.description != theirs.description;
    for (std::size_t k = 0; k < kKnobCount; ++k) {
        auto& fields = d.knobFields[k];
        fields[kFieldKnobName] = ours.knobName[k] != theirs.knobName[k];
        fields[kFieldChannel] = ours.channel[k] != theirs.channel[k];
        fields[kFieldEventType] = ours.eventType[k] != theirs.eventType[k];
        fields[kFieldFixedParameter] = ours.fixedParameter[k] != theirs.fixedParameter[k];
        fields[kFieldInitValue] = ours.initValue[k] != theirs.initValue[k];
    }
    return d;
}

std::vector<PresetDifference> compareSets(const PresetSet& ours, const PresetSet& theirs)
{
    std::vector<PresetDifference> differences;
    for (int p = 0; p < kPresetCount; ++p) {
        const auto i = static_cast<std::size_t>(p);
        if (ours[i] != theirs[i])
            differences.push_back(comparePresets(ours[i], theirs[i], p));
    }
    return differences;
}

bool takeTheirs(PresetSet& ours, const PresetSet& theirs, int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return false;
    const auto i = static_cast<std::size_t>(presetIndex);
    if (ours[i] == theirs[i])
        return false;
    ours[i] = theirs[i];
    return true;
}

std::vector<DifferenceRow> differenceRows(const Catalogue& catalogue, const PresetSet& ours,
    const PresetSet& theirs, const std::vector<PresetDifference>& differences)
{
    std::vector<DifferenceRow> rows;
    for (const PresetDifference& d : differences) {
        if (d.presetIndex < 0 || d.presetIndex >= kPresetCount)
            continue;
        const Preset& a = ours[static_cast<std::size_t>(d.presetIndex)];
        const Preset& b = theirs[static_cast<std::size_t>(d.presetIndex)];
        if (d.name)
            rows.push_back({ d.presetIndex, -1, "name", a.name, b.name, std::nullopt });
        for (int k = 0; k < kKnobCount; ++k) {
            const auto knob = static_cast<std::size_t>(k);
            for (int f = kFieldKnobName; f <= kFieldInitValue; ++f) {
                if (!d.knobFields[knob][static_cast<std::size_t>(f)])
                    continue;
                DifferenceRow row { d.presetIndex, k, kFieldLabels[static_cast<std::size_t>(f)],
                    catalogue.cellText(a, k, f), catalogue.cellText(b, k, f), std::nullopt };
                // Texts that agree hide a stored difference (a channel the event
                // does not show, a parameter it does not take): give the numbers.
                if (row.ours == row.theirs && f != kFieldKnobName)
                    row.numbers = { storedField(a, knob, f), storedField(b, knob, f) };
                rows.push_back(std::move(row));
            }
        }
        if (d.description)
            rows.push_back(
                { d.presetIndex, -1, "description", a.description, b.description, std::nullopt });
    }
    return rows;
}

std::vector<std::string> differenceListing(const Catalogue& catalogue, const PresetSet& ours,
    const PresetSet& theirs, const std::vector<PresetDifference>& differences)
{
    std::vector<std::string> lines;
    for (const DifferenceRow& row : differenceRows(catalogue, ours, theirs, differences)) {
        std::string line = "preset " + std::to_string(row.presetIndex + 1) + " / ";
        if (row.knob >= 0)
            line += "knob " + std::to_string(row.knob + 1) + " ";
        line += row.field + ": " + sides(row.ours, row.theirs);
        if (row.numbers)
            line += " (" + std::to_string(row.numbers->first) + " | "
                + std::to_string(row.numbers->second) + ")";
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace kestrow
