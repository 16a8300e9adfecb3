#pragma once

#include "core/preset_bank.h"
#include "protocol/dump_frame.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrow {

/// What the SysEx bytes of a dump file hold, read to their end before any of
/// it is applied.
struct DumpScan {
    /// This device's dump messages (preset data, init values, trailers), in file order.
    std::vector<DecodedFrame> messages;
    int foreign = 0; ///< messages of other devices (and stray bytes), skipped
    int damaged = 0; ///< this device's messages cut short or not ended by F7, skipped

    /// "" when nothing was skipped, else e.g. "2 messages of other devices skipped".
    std::string skippedText() const;
};

/// Reads message after message. A message that is not one of this device's
/// dump messages is stepped over up to its F7 (or the next F0, for one cut
/// short); its replies are passed quietly, anything else is counted.
DumpScan scanDump(std::span<const std::uint8_t> bytes);

/// Whether the scan holds preset data or init values at all.
bool holdsPresets(const DumpScan& scan);

/// One message of a scan and the preset (0..127) it goes to.
struct DumpAssignment {
    std::size_t message = 0;
    int preset = 0;
};

/// target -1: each preset data and init-values message into the preset it names (a number above 127
/// is skipped); any other target: every message into that preset.
std::vector<DumpAssignment> assignDump(const DumpScan& scan, int target);
/// Into n presets from start, wrapping from 127 to 0: each preset data message
/// takes the next one, an init-values message the one its data message will.
std::vector<DumpAssignment> assignDumpToRun(const DumpScan& scan, int start, int n);

/// Stores the messages into the presets they were assigned; names and descriptions stay.
void applyDumpAssignments(
    const DumpScan& scan, const std::vector<DumpAssignment>& assignments, PresetSet& presets);

} // namespace kestrow
