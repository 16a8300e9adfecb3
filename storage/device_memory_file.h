#pragma once

#include "protocol/device_memory.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace kestrow {

/// The side file beside a set's .MID that keeps what the device holds
/// ("Config.DEV" for the autosave set). A file of our own: older sets have
/// none and load all the same.
inline constexpr char kDeviceMemoryExtension[] = ".DEV";

/// Text form: a header line, then one line per preset with anything known:
/// "<preset 1..128> <preset data in hex or -> <init values in hex or ->".
std::string encodeDeviceMemory(const DeviceMemory& memory);
/// Inverse of encodeDeviceMemory. A foreign header gives an empty memory; a
/// damaged line leaves its preset unknown.
DeviceMemory decodeDeviceMemory(std::string_view text);
/// The memory kept in `path`; empty when the file is missing or unreadable.
DeviceMemory readDeviceMemoryFile(const std::filesystem::path& path);
/// Why the file at `path` cannot be taken (too large, unreadable, not such a
/// file); empty when it can, or when there is none.
std::string deviceMemoryFileProblem(const std::filesystem::path& path);

} // namespace kestrow
