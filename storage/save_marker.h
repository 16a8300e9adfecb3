#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

/// One file of a set save: its new contents wait in temp (or it is retired)
/// and the file it replaces is kept as old until the save is done.
struct SetEntry {
    std::filesystem::path target;
    std::filesystem::path temp; ///< empty: the target is retired
    std::filesystem::path old; ///< the previous target kept for a roll-back; empty when none
    std::uintmax_t size = 0; ///< of the new contents
    std::uint64_t hash = 0; ///< contentHash of the new contents
    bool makesBackup = false; ///< the target goes to a ".BAK" that this save creates
};

/// A 64-bit FNV-1a hash: tells a file's new contents from its old ones.
std::uint64_t contentHash(std::string_view bytes);

/// The marker that records a save's renames before the first of them, so that
/// a later start can finish or roll back the save.
std::string encodeSaveMarker(const std::vector<SetEntry>& entries);
/// The entries, with their names in folder; nothing for a damaged marker.
std::optional<std::vector<SetEntry>> decodeSaveMarker(
    std::string_view text, const std::filesystem::path& folder);

} // namespace kestrow
