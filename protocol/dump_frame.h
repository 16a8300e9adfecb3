#pragma once

#include "midi/midi_event.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrow {

// Every message between the editor and a zembra device, both directions:
//
//   offset | 0  | 1  2  3  | 4  | 5  | 6       | 7           | 8           | 9 .. n-2 | n-1
//   byte   | F0 | 00 20 20 | 14 | 00 | command | first param | second par. | payload  | F7
//
// No checksum, no length byte, one value per payload byte.
//
//   command | direction | message               | first      | second          | payload | total
//   20      | both      | preset data           | preset     | 00              | 48      | 58
//   21      | both      | init values           | preset     | 00              | 16      | 26
//   30      | to device | preset trailer        | preset     | 00              | -       | 10
//   26      | to device | preset request        | preset     | 00              | -       | 10
//   27      | to device | init values request   | preset     | 00              | -       | 10
//   06      | to device | device query (version)| 00         | 00              | -       | 10
//   56      | to device | device query (config) | 00         | 00              | -       | 10
//   00      | to editor | version reply         | number 1   | number 2        | -       | 10
//   50      | both      | thru settings /       | thru flags | master chan - 1 | -       | 10
//           |           | configuration reply   |            |                 |         |
//
// Preset data payload: channel of knobs 1..16, eventType of knobs 1..16,
// fixedParameter of knobs 1..16. Init values payload: initValue of knobs 1..16.
// Preset numbers are 0-based (the user's preset 1 is 00, preset 128 is 7F).
// Thru flags: bit 0 channel events, bit 1 SysEx events, bit 2 realtime events.

namespace dump {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr std::array<std::uint8_t, 6> kHeader { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00 };

constexpr int kCommandOffset = 6;
constexpr int kFirstParamOffset = 7;
constexpr int kSecondParamOffset = 8;
constexpr int kPayloadOffset = 9;

constexpr std::uint8_t kPresetData = 0x20;
constexpr std::uint8_t kInitValues = 0x21;
constexpr std::uint8_t kPresetTrailer = 0x30;
constexpr std::uint8_t kPresetRequest = 0x26;
constexpr std::uint8_t kInitValuesRequest = 0x27;
constexpr std::uint8_t kVersionQuery = 0x06;
constexpr std::uint8_t kConfigurationQuery = 0x56;
constexpr std::uint8_t kVersionReply = 0x00;
constexpr std::uint8_t kThruSettings = 0x50; ///< also the configuration reply

constexpr int kBareLength = 10;
constexpr int kPresetDataLength = 58;
constexpr int kInitValuesLength = 26;

constexpr std::uint8_t kThruChannelEvents = 0x01;
constexpr std::uint8_t kThruSysExEvents = 0x02;
constexpr std::uint8_t kThruRealtimeEvents = 0x04;

constexpr std::uint8_t kProgramChange = 0xC0;

} // namespace dump

/// A message of the frame above, built from its parts.
struct DumpFrame {
    std::uint8_t command = 0;
    std::uint8_t firstParam = 0;
    std::uint8_t secondParam = 0;
    std::vector<std::uint8_t> payload;

    /// F0 00 20 20 14 00, command, params, payload, F7.
    std::vector<std::uint8_t> bytes() const;
    /// One event per byte: status F0, the byte in data1, the given time.
    std::vector<MidiEvent> events(std::uint32_t time = 0) const;
};

/// The message as the toolkit carries SysEx: one F0-status event per byte.
std::vector<MidiEvent> sysExEvents(std::span<const std::uint8_t> bytes, std::uint32_t time = 0);
/// Inverse of sysExEvents: data1 of every event.
std::vector<std::uint8_t> sysExBytes(std::span<const MidiEvent> events);

} // namespace kestrow

namespace kestrow {

/// 10-byte request for one preset: command 26 (preset) or 27 (init values).
DumpFrame requestMessage(std::uint8_t command, int presetIndex);
/// Device query 06 (version) or 56 (configuration).
DumpFrame deviceQuery(std::uint8_t command);
/// Thru settings: flags (bits 0..2) and the master channel, kept within 1..16.
DumpFrame thruSettingsMessage(std::uint8_t thruFlags, int masterChannel);
/// Program Change for preset 0..127 on master channel 1..16 (kept within range).
MidiEvent programChangeEvent(int masterChannel, int presetIndex);

} // namespace kestrow
