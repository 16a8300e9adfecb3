#pragma once

#include "core/preset_bank.h"
#include "storage/dump_scan.h"
#include "storage/file_replace.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

/// Largest .syx file read, in bytes. A file of this device's presets takes at
/// most 12032; the rest leaves room for other devices' SysEx beside them,
/// which is skipped.
constexpr std::uintmax_t kMaxSysExFileSize = 1u << 20;

/// Whether the name ends in ".syx", any letter case.
inline bool hasSysExExtension(std::string_view path) { return hasExtension(path, ".syx"); }

/// A .syx file read and scanned whole, or why not.
struct SysExRead {
    std::optional<DumpScan> scan; ///< empty when refused
    std::string error; ///< names the file
};

/// Reads raw SysEx bytes (F0 ... F7, one message after the other). Refused:
/// a file that cannot be read, is larger than kMaxSysExFileSize or holds no
/// preset of this device.
SysExRead readSysExFile(const std::string& path);

/// Where the messages of an import go: a file whose preset messages all name
/// one preset is a single preset and goes to `target` (0..127); any other
/// file puts each message into the preset it names.
std::vector<DumpAssignment> assignImport(const DumpScan& scan, int target);

/// Presets 0..127 (ascending, each once) in the device's message layout:
/// init values (with initValues), preset data, trailer per preset. Every data
/// byte is 7-bit (DumpFrame::bytes).
std::string encodeSysEx(
    const PresetSet& presets, const std::vector<int>& presetIndices, bool initValues);

/// Writes the bytes as path; a previous file stays once as its ".BAK".
FileResult writeSysExFile(const std::string& path, const std::string& bytes);

} // namespace kestrow
