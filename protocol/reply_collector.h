#pragma once

#include "midi/midi_event.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

namespace kestrow {

/// Version reply (command 00): the two numbers shown as "major.minor".
struct VersionReply {
    std::uint8_t first = 0;
    std::uint8_t second = 0;
};

/// Configuration reply (command 50): thru flag byte and master channel byte.
struct ConfigurationReply {
    std::uint8_t thruFlags = 0;
    std::uint8_t channelByte = 0;
};

/// Preset data reply (command 20): 48 payload bytes, already masked to 7 bits.
struct PresetDataReply {
    int presetIndex = 0; ///< 0..127
    std::array<std::uint8_t, 48> payload {};
};

/// Init values reply (command 21): 16 payload bytes, already masked to 7 bits.
struct InitValuesReply {
    int presetIndex = 0; ///< 0..127
    std::array<std::uint8_t, 16> payload {};
};

using DeviceReply = std::variant<VersionReply, ConfigurationReply, PresetDataReply, InitValuesReply>;

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

    /// Takes one event; returns a reply when it completed a known, whole one.
    /// Other complete messages (unknown command, wrong length, preset number
    /// above 127) return nothing and change nothing.
    std::optional<DeviceReply> feed(const MidiEvent& event);
    /// Raw bytes of a SysEx stream, as if each came as an F0-status event;
    /// returns the last reply completed in them.
    std::optional<DeviceReply> feedBytes(std::span<const std::uint8_t> bytes);

    /// Forgets a half-collected message (the input was reopened).
    void reset();
    /// Bytes of the current message collected so far.
    int replyByteCount() const { return m_count; }

private:
    std::optional<DeviceReply> dispatch() const;

    std::array<std::uint8_t, kCapacity> m_buffer {};
    int m_count = 0;
    bool m_collecting = false;
};

} // namespace kestrow
