#pragma once

#include "core/library_index.h"
#include "storage/file_replace.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestrow {

/// The library's index file, kept beside the autosave set.
inline constexpr const char* kLibraryIndexFile = "Library.IDX";

/// The index as bytes: a header, the string table, then each set with its
/// stamp, damage, counts and records (integers little-endian).
std::string encodeLibraryIndex(const LibraryIndex& index);
/// Nothing for bytes that are not a whole index of this format: the library
/// then reads its folders again.
std::optional<LibraryIndex> decodeLibraryIndex(std::string_view bytes);

/// The index of that file; an empty one when it is missing or damaged.
LibraryIndex readLibraryIndex(const std::filesystem::path& file);
/// Replaces the file whole (no backup: the folders can always be read again).
FileResult writeLibraryIndex(const std::filesystem::path& file, const LibraryIndex& index);

} // namespace kestrow
