#include "dump_encoder.h"

#include "dump_frame.h"

namespace kestrow {

namespace {

// Low 8 bits of each field, unchanged: the bank keeps them within 0..127.
template <typename Column>
void appendColumn(std::vector<std::uint8_t>& payload, const Column& column)
{
    for (std::int32_t value : column)
        payload.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

int appendMessage(const DumpFrame& frame, std::uint32_t time, std::span<MidiEvent> buffer, int at)
{
    for (std::uint8_t byte : frame.bytes()) {
        MidiEvent& e = buffer[static_cast<std::size_t>(at++)];
        e = MidiEvent {};
        e.time = time;
        e.status = dump::kSysExStart;
        e.data1 = byte;
    }
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
    const auto number = static_cast<std::uint8_t>(presetIndex);
    const bool dial = variant == DeviceVariant::zembraDial;
    const bool withInit = dial && options.withInitValues;
    const bool withTrailer = !(options.forTransmission && (dial || !options.withPresetData));

    const int needed = (withInit ? dump::kInitValuesLength : 0)
        + (options.withPresetData ? dump::kPresetDataLength : 0)
        + (withTrailer ? dump::kBareLength : 0);
    if (static_cast<std::size_t>(start) + static_cast<std::size_t>(needed) > buffer.size())
        return start;

    int at = start;
    if (withInit) {
        DumpFrame init { dump::kInitValues, number, 0, {} };
        appendColumn(init.payload, preset.initValue);
        at = appendMessage(init, time, buffer, at);
    }
    if (options.withPresetData) {
        DumpFrame data { dump::kPresetData, number, 0, {} };
        appendColumn(data.payload, preset.channel);
        appendColumn(data.payload, preset.eventType);
        appendColumn(data.payload, preset.fixedParameter);
        at = appendMessage(data, time, buffer, at);
    }
    if (withTrailer)
        at = appendMessage(DumpFrame { dump::kPresetTrailer, number, 0, {} }, 0, buffer, at);
    return at;
}

int encodeAllPresets(const PresetBank& bank, DeviceVariant variant, EncodeOptions options,
    std::span<MidiEvent> buffer)
{
    int count = 0;
    for (int p = 0; p < kPresetCount; ++p)
        count = encodePreset(bank, variant, p, options, p == 0 ? 0 : kDumpPresetTime, buffer, count);
    return count;
}

int encodeMaskedPresets(const PresetBank& bank, DeviceVariant variant, EncodeOptions options,
    std::span<MidiEvent> buffer)
{
    int count = 0;
    for (int p = 0; p < kPresetCount; ++p)
        if (bank.presetMask[static_cast<std::size_t>(p)] == 1)
            count = encodePreset(bank, variant, p, options, p == 0 ? 0 : kDumpPresetTime, buffer, count);
    return count;
}

} // namespace kestrow
