#pragma once

#include "core/preset_bank.h"
#include "protocol/dump_frame.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestrow {

using PresetDataBytes = std::array<std::uint8_t, dump::kPresetDataPayload>;
using InitValueBytes = std::array<std::uint8_t, dump::kInitValuesPayload>;

/// The payloads the device is known to hold for one preset; nullopt where
/// nothing is known.
struct HeldPreset {
    std::optional<PresetDataBytes> data;
    std::optional<InitValueBytes> initValues;

    bool operator==(const HeldPreset&) const = default;
};

/// What the editor knows of one preset on the device, as the tree marks it.
enum class DeviceMark {
    unknown, ///< never read or written since the device was chosen
    sent, ///< the working copy went out whole, not read back since
    verified, ///< read back (or read) and the same as the working copy
    differs, ///< the device holds something else than the working copy
};

/// Per preset, the last bytes known to be on the device: from a message the
/// port took or a reply the device gave. Only whole preset data and init
/// values messages count.
class DeviceMemory {
public:
    /// A message that went out whole; other messages change nothing.
    void messageSent(std::span<const std::uint8_t> message);
    /// A reply for preset 0..127 (preset data or init values).
    void replyReceived(const DecodedFrame& reply);

    /// Whether the working copy of preset 0..127 differs from what the device
    /// holds; unknown counts as differing. Init values count on a zembraDial only.
    bool differs(const Preset& preset, int presetIndex, DeviceVariant variant) const;
    /// The presets of `bank` that differ, ascending.
    std::vector<int> changedPresets(const PresetBank& bank, DeviceVariant variant) const;

    /// The preset's mark against its working copy (init values on a zembraDial only).
    DeviceMark mark(const Preset& preset, int presetIndex, DeviceVariant variant) const;
    /// Another device was chosen: nothing is known of it.
    void forget() { *this = DeviceMemory(); }

    /// Presets sent since the last verify, ascending.
    std::vector<int> sentSinceVerify() const;
    /// Preset 0..127 was verified: it leaves sentSinceVerify.
    void verified(int presetIndex);

    const HeldPreset& held(int presetIndex) const;
    /// Remembered from an earlier run: known, but not read back in this one.
    void setHeld(int presetIndex, const HeldPreset& held);

private:
    void store(const DecodedFrame& frame);

    std::array<HeldPreset, kPresetCount> m_held {};
    std::array<bool, kPresetCount> m_sentSinceVerify {};
};

/// The payload bytes the working copy of a preset sends.
PresetDataBytes presetDataBytes(const Preset& preset);
InitValueBytes initValueBytes(const Preset& preset);

} // namespace kestrow
