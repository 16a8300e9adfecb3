#include "protocol/reply_collector.h"

#include "protocol/dump_frame.h"

namespace kestrow {

void ReplyCollector::reset()
{
    m_count = 0;
    m_collecting = false;
}

std::optional<DecodedFrame> ReplyCollector::feed(const MidiEvent& event)
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

    std::optional<DecodedFrame> reply = dispatch();
    reset();
    return reply;
}

std::optional<DecodedFrame> ReplyCollector::feedBytes(std::span<const std::uint8_t> bytes)
{
    std::optional<DecodedFrame> last;
    for (std::uint8_t b : bytes) {
        MidiEvent e;
        e.status = dump::kSysExStart;
        e.data1 = b;
        if (auto reply = feed(e))
            last = reply;
    }
    return last;
}

std::optional<DecodedFrame> ReplyCollector::dispatch() const
{
    const std::span<const std::uint8_t> message(m_buffer.data(), static_cast<std::size_t>(m_count));
    // Only the device's own messages count: another device's SysEx that
    // happens to carry 20 at byte 6 must not overwrite a preset.
    const DecodedFrame decoded = decodeFrame(message, FrameBounds::wholeMessage);
    switch (decoded.kind) {
    case FrameKind::versionReply:
    case FrameKind::configuration:
        return decoded;
    case FrameKind::presetData:
    case FrameKind::initValues:
        if (decoded.carriesPreset())
            return decoded;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

} // namespace kestrow
