#include "protocol/verify_rows.h"

namespace kestrow {

namespace {

    std::string sideText(const std::string& text, const std::optional<std::int32_t>& number)
    {
        return number ? text + " (" + std::to_string(*number) + ")" : text;
    }

} // namespace

PresetSet heldPresets(const PresetSet& here, const DeviceMemory& memory)
{
    PresetSet device = here;
    for (int p = 0; p < kPresetCount; ++p) {
        const HeldPreset& held = memory.held(p);
        Preset& preset = device[static_cast<std::size_t>(p)];
        if (held.data) {
            DumpFrame frame { dump::kPresetData, static_cast<std::uint8_t>(p), 0,
                { held.data->begin(), held.data->end() } };
            storeFrame(decodeFrame(frame.bytes(), FrameBounds::wholeMessage), preset);
        }
        if (held.initValues) {
            DumpFrame frame { dump::kInitValues, static_cast<std::uint8_t>(p), 0,
                { held.initValues->begin(), held.initValues->end() } };
            storeFrame(decodeFrame(frame.bytes(), FrameBounds::wholeMessage), preset);
        }
    }
    return device;
}

std::vector<VerifyRow> verifyRows(const Catalogue& catalogue, const PresetSet& here,
    const PresetSet& device, const SyncReport& report)
{
    const auto presetText = [&here](int presetIndex) {
        const std::string& name = here[static_cast<std::size_t>(presetIndex)].name;
        return std::to_string(presetIndex + 1) + (name.empty() ? "" : " " + name);
    };
    std::vector<VerifyRow> rows;
    for (const DifferenceRow& d : differenceRows(catalogue, here, device, report.differing)) {
        rows.push_back({ d.presetIndex, d.knob, presetText(d.presetIndex),
            d.knob < 0 ? std::string() : std::to_string(d.knob + 1), d.field,
            sideText(d.ours, d.numbers ? std::optional(d.numbers->first) : std::nullopt),
            sideText(d.theirs, d.numbers ? std::optional(d.numbers->second) : std::nullopt) });
    }
    for (int p : report.noReply) {
        if (p >= 0 && p < kPresetCount)
            rows.push_back({ p, -1, presetText(p), {}, "whole preset", {}, "no reply" });
    }
    return rows;
}

} // namespace kestrow
