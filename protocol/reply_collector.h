#pragma once

#include "link/midi_event.h"
#include "protocol/dump_frame.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kestrow {

/// Gathers device replies from the events the input port delivers, in any
/// split. Only SysEx events (status F0) count; channel and realtime messages
/// passing through the device are skipped, and realtime bytes inside a SysEx
/// stream too, so neither can shift a reply's bytes or fill the buffer. Each
/// F0 starts a message afresh; an over-long message is dropped and the next
/// F0 starts over, so the collector never goes deaf.
class ReplyCollector {
public:
    /// Longest message kept; longer ones are dropped whole.
    static constexpr int kCapacity = 200;

    /// Takes one event; returns the decoded message when it completed a reply
    /// the editor takes in: a version or configuration reply, or preset data
    /// or init values for preset 0..127, each with the device's header.
    /// Other complete messages (another header, unknown command, wrong
    /// length, preset number above 127) return nothing.
    [[nodiscard]] std::optional<DecodedFrame> feed(const MidiEvent& event);
    /// Raw bytes of a SysEx stream, as if each came as an F0-status event;
    /// returns the last reply completed in them.
    std::optional<DecodedFrame> feedBytes(std::span<const std::uint8_t> bytes);

    /// Forgets a half-collected message (the input was reopened).
    void reset();
    /// Bytes of the current message collected so far.
    int replyByteCount() const { return m_count; }

private:
    std::optional<DecodedFrame> dispatch() const;

    std::array<std::uint8_t, kCapacity> m_buffer {};
    int m_count = 0;
    bool m_collecting = false;
};

} // namespace kestrow
