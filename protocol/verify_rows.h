#pragma once

#include "core/catalogue.h"
#include "core/preset_bank.h"
#include "protocol/device_memory.h"
#include "protocol/device_sync.h"

#include <string>
#include <vector>

namespace kestrow {

/// One line of a verify's report, every text ready to show (Windows-1252).
struct VerifyRow {
    int presetIndex = 0; ///< 0..127, for sorting
    int knob = -1; ///< 0..15; -1 for a part of the whole preset, for sorting
    std::string preset; ///< "7 Strings": number 1..128 and the name here
    std::string knobText; ///< "1".."16", empty for the whole preset
    std::string field; ///< "event", ...; "whole preset" for a preset that did not answer
    std::string here;
    std::string device; ///< "no reply" for a preset that did not answer

    bool operator==(const VerifyRow&) const = default;
};

/// The presets here with what the device is known to hold stored in place of
/// their knob data (names and descriptions stay: the device keeps none).
PresetSet heldPresets(const PresetSet& here, const DeviceMemory& memory);

/// A verify's report as rows: each differing part of `report.differing`
/// (here against `device`), then one row per preset that did not answer.
std::vector<VerifyRow> verifyRows(const Catalogue& catalogue, const PresetSet& here,
    const PresetSet& device, const SyncReport& report);

} // namespace kestrow
