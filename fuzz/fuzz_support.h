#pragma once

// Shared by the fuzz targets: a scratch folder in memory for the readers that
// only take paths, the check that ends a run, and (outside libFuzzer) a main
// that replays seed files, so every corpus runs as a test in a normal build.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace kestrow::fuzz {

/// A folder of this process, on /dev/shm when there is one; removed at exit.
const std::filesystem::path& scratchFolder();

/// Replaces the file with exactly these bytes; aborts when it cannot (the
/// target would otherwise test nothing).
void writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
void writeFile(const std::filesystem::path& path, std::string_view text);

/// Aborts with the message when a property does not hold, so that the
/// fuzzer keeps the input as a crash.
void check(bool holds, const char* what);

/// Takes a little-endian 16-bit length and then that many bytes (fewer at
/// the end of the input) off the front of `input`.
std::span<const std::uint8_t> takeChunk(std::span<const std::uint8_t>& input);

} // namespace kestrow::fuzz
