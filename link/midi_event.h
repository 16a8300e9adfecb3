#pragma once

#include <cstdint>

/// One MIDI event as the toolkit, the driver library, the dump encoder and
/// the dump files all see it. A SysEx message travels as a run of events, one
/// per byte: status F0 and the message byte in data1 (F0 first, F7 last).
struct MidiEvent {
    std::uint32_t time = 0; ///< delta ticks in tracks; passed through on output
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::uint8_t data3 = 0; ///< unused by the editor
};
static_assert(sizeof(MidiEvent) == 8, "MidiEvent is the driver library's 8-byte record");

using LPMIDIEVENT = MidiEvent*;
