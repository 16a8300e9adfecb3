#pragma once

#include "core/preset_bank.h"
#include "link/midi_event.h"

#include <cstdint>
#include <span>

namespace kestrow {

/// Entries of the transmission buffer; all 128 presets of a zembraDial with
/// three messages each take 128 x 94 = 12032.
constexpr int kSendBufferSize = 12500;

/// Time given to every preset's messages in multi-preset dumps, except preset 0.
constexpr std::uint32_t kDumpPresetTime = 1280;

/// What to encode for each preset. forTransmission = false is the dump file
/// layout, which always carries the trailer.
struct EncodeOptions {
    bool withInitValues = true;
    bool withPresetData = true;
    bool forTransmission = true;
};

/// Appends the messages of preset `presetIndex` (0..127) at entry `start`,
/// one F0-status event per byte, and returns the index after the last one.
/// The init values go only to a zembraDial. The trailer follows unless a live
/// send goes to a zembraDial or carries no preset data; trailer entries get
/// time 0, the others `time`. A preset that would not fit appends nothing.
int encodePreset(const PresetBank& bank, DeviceVariant variant, int presetIndex,
    EncodeOptions options, std::uint32_t time, std::span<MidiEvent> buffer, int start);

/// Presets 0..127 in order from entry 0; returns the number of entries.
int encodeAllPresets(const PresetBank& bank, DeviceVariant variant, EncodeOptions options,
    std::span<MidiEvent> buffer);

/// The presets whose presetMask entry is 1, ascending, from entry 0; returns
/// the number of entries. Takes its own buffer so a file save never disturbs
/// a transfer still running from sendBuffer.
int encodeMaskedPresets(const PresetBank& bank, DeviceVariant variant, EncodeOptions options,
    std::span<MidiEvent> buffer);

/// presetMask for the save and send commands: all 0, then 1 for the covered
/// presets. Banks 1-4 are `start` and the three after it, 127 wrapping to 0.
void maskAllPresets(PresetBank& bank);
void maskSinglePreset(PresetBank& bank, int presetIndex);
void maskBanks(PresetBank& bank, int start);

} // namespace kestrow
