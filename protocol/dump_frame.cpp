#include "protocol/dump_frame.h"

#include <algorithm>

namespace kestrow {

// --- Encoding ------------------------------------------------------------------

std::vector<std::uint8_t> DumpFrame::bytes() const
{
    std::vector<std::uint8_t> out(dump::kHeader.begin(), dump::kHeader.end());
    out.reserve(dump::kBareLength + payload.size());
    out.push_back(dataByte(command));
    out.push_back(dataByte(firstParam));
    out.push_back(dataByte(secondParam));
    for (std::uint8_t b : payload)
        out.push_back(dataByte(b));
    out.push_back(dump::kSysExEnd);
    return out;
}

std::vector<MidiEvent> DumpFrame::events(std::uint32_t time) const
{
    return sysExEvents(bytes(), time);
}

namespace {

    int clampChannel(int channel) { return channel < 1 ? 1 : (channel > 16 ? 16 : channel); }

    std::uint8_t presetByte(int presetIndex) { return dataByte(presetIndex); }

    // The payload is what the device will hold, so it is masked here already
    // (what the device holds is compared with it).
    template <typename Column>
    void appendColumn(std::vector<std::uint8_t>& payload, const Column& column)
    {
        for (std::int32_t value : column)
            payload.push_back(dataByte(value));
    }

} // namespace

DumpFrame presetDataFrame(const Preset& preset, int presetIndex)
{
    DumpFrame frame { dump::kPresetData, presetByte(presetIndex), 0, {} };
    frame.payload.reserve(dump::kPresetDataPayload);
    appendColumn(frame.payload, preset.channel);
    appendColumn(frame.payload, preset.eventType);
    appendColumn(frame.payload, preset.fixedParameter);
    return frame;
}

DumpFrame initValuesFrame(const Preset& preset, int presetIndex)
{
    DumpFrame frame { dump::kInitValues, presetByte(presetIndex), 0, {} };
    appendColumn(frame.payload, preset.initValue);
    return frame;
}

DumpFrame trailerFrame(int presetIndex)
{
    return DumpFrame { dump::kPresetTrailer, presetByte(presetIndex), 0, {} };
}

DumpFrame requestMessage(std::uint8_t command, int presetIndex)
{
    return DumpFrame { command, presetByte(presetIndex), 0, {} };
}

DumpFrame deviceQuery(std::uint8_t command) { return DumpFrame { command, 0, 0, {} }; }

DumpFrame thruSettingsMessage(std::uint8_t thruFlags, int masterChannel)
{
    return DumpFrame { dump::kThruSettings, static_cast<std::uint8_t>(thruFlags & 0x07),
        static_cast<std::uint8_t>(clampChannel(masterChannel) - 1), {} };
}

MidiEvent programChangeEvent(int masterChannel, int presetIndex)
{
    MidiEvent e;
    e.status = static_cast<std::uint8_t>(dump::kProgramChange + clampChannel(masterChannel) - 1);
    e.data1 = presetByte(presetIndex);
    return e;
}

std::vector<MidiEvent> sysExEvents(std::span<const std::uint8_t> bytes, std::uint32_t time)
{
    std::vector<MidiEvent> out;
    out.reserve(bytes.size());
    for (std::uint8_t b : bytes) {
        MidiEvent e;
        e.time = time;
        e.status = dump::kSysExStart;
        e.data1 = b;
        out.push_back(e);
    }
    return out;
}

std::vector<std::uint8_t> sysExBytes(std::span<const MidiEvent> events)
{
    std::vector<std::uint8_t> out;
    out.reserve(events.size());
    for (const MidiEvent& e : events)
        out.push_back(e.data1);
    return out;
}

// --- Decoding ------------------------------------------------------------------

bool DecodedFrame::carriesPreset() const
{
    return (kind == FrameKind::presetData || kind == FrameKind::initValues)
        && frame.firstParam < kPresetCount;
}

namespace {

    FrameKind kindOf(std::uint8_t command)
    {
        switch (command) {
        case dump::kPresetData:
            return FrameKind::presetData;
        case dump::kInitValues:
            return FrameKind::initValues;
        case dump::kPresetTrailer:
            return FrameKind::trailer;
        case dump::kVersionReply:
            return FrameKind::versionReply;
        case dump::kThruSettings:
            return FrameKind::configuration;
        default:
            return FrameKind::otherCommand;
        }
    }

} // namespace

DecodedFrame decodeFrame(std::span<const std::uint8_t> bytes, FrameBounds bounds)
{
    DecodedFrame out;
    const bool whole = bounds == FrameBounds::wholeMessage;
    if (bytes.size() < dump::kHeader.size()
        || !std::equal(dump::kHeader.begin(), dump::kHeader.end(), bytes.begin())) {
        out.kind = FrameKind::foreign;
        return out;
    }
    if (bytes.size() < static_cast<std::size_t>(dump::kBareLength))
        return out; // malformed: cut short
    const std::uint8_t command = bytes[dump::kCommandOffset];
    int length = dump::messageLength(command);
    if (length == 0 && whole)
        length = static_cast<int>(bytes.size()); // a command of its own: the end is its end
    if (length == 0) {
        // A stream cannot tell where a message of an unknown command ends.
        out.kind = FrameKind::otherCommand;
        out.frame.command = command;
        return out;
    }
    const auto size = static_cast<std::size_t>(length);
    if (bytes.size() < size || (whole && bytes.size() != size)
        || bytes[size - 1] != dump::kSysExEnd)
        return out; // malformed
    out.kind = kindOf(command);
    out.length = length;
    out.frame.command = command;
    out.frame.firstParam = bytes[dump::kFirstParamOffset];
    out.frame.secondParam = bytes[dump::kSecondParamOffset];
    if (out.kind == FrameKind::presetData || out.kind == FrameKind::initValues) {
        // Values are 7-bit, whether from the device or a damaged file.
        for (auto b = bytes.begin() + dump::kPayloadOffset; b != bytes.begin() + length - 1; ++b)
            out.frame.payload.push_back(dataByte(*b));
    }
    return out;
}

bool storeFrame(const DecodedFrame& decoded, Preset& preset)
{
    const std::vector<std::uint8_t>& payload = decoded.frame.payload;
    if (decoded.kind == FrameKind::presetData && payload.size() == dump::kPresetDataPayload) {
        for (std::size_t k = 0; k < kKnobCount; ++k) {
            preset.channel[k] = payload[k];
            preset.eventType[k] = payload[kKnobCount + k];
            preset.fixedParameter[k] = payload[2 * kKnobCount + k];
        }
        return true;
    }
    if (decoded.kind == FrameKind::initValues && payload.size() == dump::kInitValuesPayload) {
        std::copy(payload.begin(), payload.end(), preset.initValue.begin());
        return true;
    }
    return false;
}

} // namespace kestrow
