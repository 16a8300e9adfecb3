#pragma once

#include "core/preset_bank.h"
#include "link/midi_event.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrow {

// Every message between the editor and a zembra device, both directions, and
// every message of a dump file:
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
// A dump file holds, per preset: init values (zembraDial only), preset data,
// trailer.

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

    constexpr int kBareLength = 10; ///< every message without payload
    constexpr int kPresetDataLength = 58;
    constexpr int kInitValuesLength = 26;
    constexpr int kPresetDataPayload = 3 * kKnobCount; ///< channel, eventType, fixedParameter
    constexpr int kInitValuesPayload = kKnobCount;

    constexpr std::uint8_t kThruChannelEvents = 0x01;
    constexpr std::uint8_t kThruSysExEvents = 0x02;
    constexpr std::uint8_t kThruRealtimeEvents = 0x04;

    constexpr std::uint8_t kProgramChange = 0xC0;

    /// Length of the message a command starts, 0 for a command not in the table.
    constexpr int messageLength(std::uint8_t command)
    {
        switch (command) {
        case kPresetData:
            return kPresetDataLength;
        case kInitValues:
            return kInitValuesLength;
        case kPresetTrailer:
        case kPresetRequest:
        case kInitValuesRequest:
        case kVersionQuery:
        case kConfigurationQuery:
        case kVersionReply:
        case kThruSettings:
            return kBareLength;
        default:
            return 0;
        }
    }

} // namespace dump

// --- Encoding ------------------------------------------------------------------

/// A MIDI data byte: the low 7 bits of `value`, so that a value out of range
/// never leaves as a status byte in the middle of a message.
constexpr std::uint8_t dataByte(std::int32_t value)
{
    return static_cast<std::uint8_t>(value & 0x7F);
}

/// A message of the frame above, built from its parts. The one encoder:
/// every message the editor sends or writes is laid out by bytes(), which
/// never emits a data byte above 7F (each is taken to its low 7 bits).
struct DumpFrame {
    std::uint8_t command = 0;
    std::uint8_t firstParam = 0;
    std::uint8_t secondParam = 0;
    std::vector<std::uint8_t> payload;

    /// F0 00 20 20 14 00, command, params, payload, F7.
    [[nodiscard]] std::vector<std::uint8_t> bytes() const;
    /// One event per byte: status F0, the byte in data1, the given time.
    [[nodiscard]] std::vector<MidiEvent> events(std::uint32_t time = 0) const;

    bool operator==(const DumpFrame&) const = default;
};

/// Preset data (20) of preset 0..127: its channel, eventType and fixedParameter columns.
[[nodiscard]] DumpFrame presetDataFrame(const Preset& preset, int presetIndex);
/// Init values (21) of preset 0..127.
[[nodiscard]] DumpFrame initValuesFrame(const Preset& preset, int presetIndex);
/// Preset trailer (30) of preset 0..127.
[[nodiscard]] DumpFrame trailerFrame(int presetIndex);
/// 10-byte request for one preset: command 26 (preset) or 27 (init values).
[[nodiscard]] DumpFrame requestMessage(std::uint8_t command, int presetIndex);
/// Device query 06 (version) or 56 (configuration).
[[nodiscard]] DumpFrame deviceQuery(std::uint8_t command);
/// Thru settings: flags (bits 0..2) and the master channel, kept within 1..16.
[[nodiscard]] DumpFrame thruSettingsMessage(std::uint8_t thruFlags, int masterChannel);
/// Program Change for preset 0..127 on master channel 1..16 (kept within range).
[[nodiscard]] MidiEvent programChangeEvent(int masterChannel, int presetIndex);

/// The message as the toolkit carries SysEx: one F0-status event per byte.
[[nodiscard]] std::vector<MidiEvent> sysExEvents(
    std::span<const std::uint8_t> bytes, std::uint32_t time = 0);
/// Inverse of sysExEvents: data1 of every event.
[[nodiscard]] std::vector<std::uint8_t> sysExBytes(std::span<const MidiEvent> events);

// --- Decoding ------------------------------------------------------------------

/// What decodeFrame found at the start of the bytes, graded.
enum class FrameKind {
    presetData, ///< command 20, whole
    initValues, ///< command 21, whole
    trailer, ///< command 30
    versionReply, ///< command 00
    configuration, ///< command 50 (configuration reply, or thru settings)
    otherCommand, ///< the device's frame with a command the editor never takes in
    foreign, ///< not the device's header: another device's or a damaged message
    malformed, ///< the device's header, but cut short, too long or not ended by F7
};

/// How far the bytes handed to decodeFrame belong to the message.
enum class FrameBounds {
    wholeMessage, ///< exactly one message, F0 to F7 (a reply, one message of a .syx file)
    stream, ///< the message starts here and more may follow (a dump file's bytes)
};

struct DecodedFrame {
    FrameKind kind = FrameKind::malformed;
    /// Command, parameters and (for preset data and init values) the payload;
    /// empty for foreign and malformed bytes.
    DumpFrame frame;
    /// Bytes the message takes; 0 for foreign and malformed bytes and, in a
    /// stream, for a command whose length the table does not give.
    int length = 0;

    /// Preset data or init values for preset 0..127.
    bool carriesPreset() const;
};

/// The one decoder, for replies, dump files and .syx files. A message is the
/// device's only with all six header bytes; its length must be the command's
/// (for wholeMessage: the whole span) and its last byte F7. Payload values
/// come out masked to 7 bits; the preset number as read (above 7F in a
/// damaged message, which carriesPreset() then refuses).
[[nodiscard]] DecodedFrame decodeFrame(std::span<const std::uint8_t> bytes, FrameBounds bounds);

/// Stores the payload of preset data (the three numeric columns) or init
/// values into `preset`; names and description stay. False, with nothing
/// changed, for any other frame.
bool storeFrame(const DecodedFrame& decoded, Preset& preset);

} // namespace kestrow
