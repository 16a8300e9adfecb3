#pragma once

#include "platform/mididrv/mididrv.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

/// Standard MIDI file reading and writing for the driver library, with no
/// file or port access of its own so it can be tested on bytes.
///
/// SysEx inside a track is a run of one-byte events (status F0, the byte in
/// data1). Writing turns each run F0..F7 into one standard SysEx event with
/// the delta time of its first byte; reading gives every byte back as its own
/// event, also for messages split into F0 and F7-continuation packets.
namespace kestrow::smf {

inline constexpr std::uint16_t kDefaultResolution = 480;

struct MetaEvent {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> data;
};

struct Track {
    std::vector<MidiDrvEvent> events; ///< times are delta ticks
    std::vector<MetaEvent> metas; ///< written at the start of the track
};

struct Song {
    int format = 1;
    std::uint16_t resolution = kDefaultResolution; ///< ticks per quarter note (raw division word)
    std::vector<Track> tracks;
};

/// nullopt when the bytes are not a MIDI file at all. A damaged track keeps
/// the events before the damage; meta events inside a track do not become
/// events, their delta time moves on to the next event.
[[nodiscard]] std::optional<Song> decode(std::span<const std::uint8_t> bytes);

/// Format 0 with more than one track is written as format 1.
[[nodiscard]] std::vector<std::uint8_t> encode(const Song& song);

/// The first meta event of that type in the track, or null.
[[nodiscard]] const MetaEvent* findMeta(const Track& track, std::uint8_t type);

/// Number of data bytes after a status byte in a live MIDI stream or track
/// (SysEx F0 counts as 0 here).
[[nodiscard]] int dataLength(std::uint8_t status);

} // namespace kestrow::smf
