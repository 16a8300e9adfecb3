#include "dump_frame.h"

namespace kestrow {

std::vector<std::uint8_t> DumpFrame::bytes() const
{
    std::vector<std::uint8_t> out(dump::kHeader.begin(), dump::kHeader.end());
    out.reserve(dump::kBareLength + payload.size());
    out.push_back(command);
    out.push_back(firstParam);
    out.push_back(secondParam);
    out.insert(out.end(), payload.begin(), payload.end());
    out.push_back(dump::kSysExEnd);
    return out;
}

std::vector<MidiEvent> DumpFrame::events(std::uint32_t time) const
{
    return sysExEvents(bytes(), time);
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

} // namespace kestrow

namespace kestrow {

namespace {
int clampChannel(int channel) { return channel < 1 ? 1 : (channel > 16 ? 16 : channel); }
} // namespace

DumpFrame requestMessage(std::uint8_t command, int presetIndex)
{
    return DumpFrame { command, static_cast<std::uint8_t>(presetIndex & 0x7F), 0, {} };
}

DumpFrame deviceQuery(std::uint8_t command)
{
    return DumpFrame { command, 0, 0, {} };
}

DumpFrame thruSettingsMessage(std::uint8_t thruFlags, int masterChannel)
{
    return DumpFrame { dump::kThruSettings, static_cast<std::uint8_t>(thruFlags & 0x07),
        static_cast<std::uint8_t>(clampChannel(masterChannel) - 1), {} };
}

MidiEvent programChangeEvent(int masterChannel, int presetIndex)
{
    MidiEvent e;
    e.status = static_cast<std::uint8_t>(dump::kProgramChange + clampChannel(masterChannel) - 1);
    e.data1 = static_cast<std::uint8_t>(presetIndex & 0x7F);
    return e;
}

} // namespace kestrow
