#include "protocol/dump_encoder.h"

#include "protocol/dump_frame.h"

namespace kestrow {

namespace {

    int appendMessage(
        const DumpFrame& frame, std::uint32_t time, std::span<MidiEvent> buffer, int at)
    {
        for (const MidiEvent& e : frame.events(time))
            buffer[static_cast<std::size_t>(at++)] = e;
        return at;
    }

} // namespace

int encodePreset(const PresetBank& bank, DeviceVariant variant, int presetIndex,
    EncodeOptions options, std::uint32_t time, std::span<MidiEvent> buffer, int start)
{
    if (!options.withInitValues && !options.withPresetData)
        return start;
    if (presetIndex < 0 || presetIndex >= kPresetCount || start < 0)
        return start;

    const Preset& preset = bank.presets[static_cast<std::size_t>(presetIndex)];
    const bool dial = variant == DeviceVariant::zembraDial;
    const bool withInit = dial && options.withInitValues;
    const bool withTrailer = !(options.forTransmission && (dial || !options.withPresetData));

    const int needed = (withInit ? dump::kInitValuesLength : 0)
        + (options.withPresetData ? dump::kPresetDataLength : 0)
        + (withTrailer ? dump::kBareLength : 0);
    if (static_cast<std::size_t>(start) + static_cast<std::size_t>(needed) > buffer.size())
        return start;

    int at = start;
    if (withInit)
        at = appendMessage(initValuesFrame(preset, presetIndex), time, buffer, at);
    if (options.withPresetData)
        at = appendMessage(presetDataFrame(preset, presetIndex), time, buffer, at);
    if (withTrailer)
        at = appendMessage(trailerFrame(presetIndex), 0, buffer, at);
    return at;
}

int encodeAllPresets(const PresetBank& bank, DeviceVariant variant, EncodeOptions options,
    std::span<MidiEvent> buffer)
{
    int count = 0;
    for (int p = 0; p < kPresetCount; ++p)
        count
            = encodePreset(bank, variant, p, options, p == 0 ? 0 : kDumpPresetTime, buffer, count);
    return count;
}

int encodeMaskedPresets(const PresetBank& bank, DeviceVariant variant, EncodeOptions options,
    std::span<MidiEvent> buffer)
{
    int count = 0;
    for (int p = 0; p < kPresetCount; ++p)
        if (bank.presetMask[static_cast<std::size_t>(p)] == 1)
            count = encodePreset(
                bank, variant, p, options, p == 0 ? 0 : kDumpPresetTime, buffer, count);
    return count;
}

void maskAllPresets(PresetBank& bank) { bank.presetMask.fill(1); }

void maskSinglePreset(PresetBank& bank, int presetIndex)
{
    bank.presetMask.fill(0);
    bank.presetMask[static_cast<std::size_t>(wrapPresetIndex(presetIndex))] = 1;
}

void maskBanks(PresetBank& bank, int start)
{
    bank.presetMask.fill(0);
    for (int i = 0; i < 4; ++i)
        bank.presetMask[static_cast<std::size_t>(wrapPresetIndex(start + i))] = 1;
}

} // namespace kestrow
