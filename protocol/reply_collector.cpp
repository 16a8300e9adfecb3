#include "reply_collector.h"

#include "dump_frame.h"

namespace kestrow {

void ReplyCollector::reset()
{
    m_count = 0;
    m_collecting = false;
}

std::optional<DeviceReply> ReplyCollector::feed(const MidiEvent& event)
{
    if (event.status != dump::kSysExStart)
        return std::nullopt; // channel or realtime message let through by the device
    const std::uint8_t byte = event.data1;
    if (byte >= 0xF8)
        return std::nullopt; // realtime may sit between any two bytes of a SysEx
    if (byte == dump::kSysExStart) {
        m_count = 0;
        m_collecting = true;
    }
    if (!m_collecting)
        return std::nullopt; // rest of a dropped or foreign message
    if (m_count >= kCapacity) {
        reset();
        return std::nullopt;
    }
    m_buffer[static_cast<std::size_t>(m_count++)] = byte;
    if (byte != dump::kSysExEnd)
        return std::nullopt;

    std::optional<DeviceReply> reply = dispatch();
    reset();
    return reply;
}

std::optional<DeviceReply> ReplyCollector::feedBytes(std::span<const std::uint8_t> bytes)
{
    std::optional<DeviceReply> last;
    for (std::uint8_t b : bytes) {
        MidiEvent e;
        e.status = dump::kSysExStart;
        e.data1 = b;
        if (auto reply = feed(e))
            last = reply;
    }
    return last;
}

std::optional<DeviceReply> ReplyCollector::dispatch() const
{
    // The header bytes are not examined: the command byte alone decides.
    if (m_count < dump::kBareLength)
        return std::nullopt;
    const std::uint8_t command = m_buffer[dump::kCommandOffset];
    const std::uint8_t first = m_buffer[dump::kFirstParamOffset];
    const std::uint8_t second = m_buffer[dump::kSecondParamOffset];
    const auto payload = [this](std::size_t i) {
        return static_cast<std::uint8_t>(m_buffer[dump::kPayloadOffset + i] & 0x7F);
    };

    switch (command) {
    case dump::kVersionReply:
        return VersionReply { first, second };
    case dump::kThruSettings:
        return ConfigurationReply { first, second };
    case dump::kPresetData:
        if (m_count == dump::kPresetDataLength && first <= 0x7F) {
            PresetDataReply r;
            r.presetIndex = first;
            for (std::size_t i = 0; i < r.payload.size(); ++i)
                r.payload[i] = payload(i);
            return r;
        }
        return std::nullopt;
    case dump::kInitValues:
        if (m_count == dump::kInitValuesLength && first <= 0x7F) {
            InitValuesReply r;
            r.presetIndex = first;
            for (std::size_t i = 0; i < r.payload.size(); ++i)
                r.payload[i] = payload(i);
            return r;
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

} // namespace kestrow
