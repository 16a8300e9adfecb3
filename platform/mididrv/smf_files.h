#pragma once

#include "platform/mididrv/mididrv.h"

#include <cstdint>

/// Standard MIDI files behind the library's SMF functions, opened, read and
/// written by handle. Needs no MIDI system, so a program can read its files
/// with them before it loads the library.
namespace kestrow::mididrv {

std::uint32_t openSmf(
    const char* fileName, std::int32_t* format, char mode, std::int32_t* numTracks);
void closeSmf(std::uint32_t smf);
void rewindSmf(std::uint32_t smf);
std::int32_t readSmf(
    std::uint32_t smf, std::int32_t track, MidiDrvEvent* buffer, std::int32_t room);
std::int32_t writeSmf(
    std::uint32_t smf, std::int32_t track, const MidiDrvEvent* buffer, std::int32_t count);
std::uint16_t getSmfResolution(std::uint32_t smf);
void setSmfResolution(std::uint32_t smf, std::uint16_t resolution);
std::int32_t readMeta(std::uint32_t smf, std::int32_t track, std::uint8_t type,
    const std::uint8_t** data, std::int32_t* length);
std::int32_t writeMeta(std::uint32_t smf, std::int32_t track, std::uint8_t type,
    const std::uint8_t* data, std::int32_t length);

} // namespace kestrow::mididrv
