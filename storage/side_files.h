#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

/// Largest knob-name file (.CFG) read or written, in bytes: 128 sections of a
/// name and 16 knob names at their longest take about 66 KB, the settings a
/// few hundred bytes more.
constexpr std::uintmax_t kMaxKnobNameFileSize = 1u << 20;
/// Largest description file (.NTS) read or written, in bytes.
constexpr std::uintmax_t kMaxDescriptionFileSize = 16u << 20;

/// A side file read whole, or why not. A missing file is no failure: it
/// stands for the defaults.
struct SideFileRead {
    enum class Status { read, missing, refused };
    Status status = Status::missing;
    std::string bytes;
    std::string reason; ///< for refused, without the file's name
};

/// Reads at most `limit` bytes; a larger file is refused from its size
/// before it is read. `what` names the kind of file in the reason.
SideFileRead readSideFile(
    const std::filesystem::path& path, std::uintmax_t limit, std::string_view what);

/// A side file as the saver names it (".CFG", ".NTS"), whatever letter case
/// it is asked for in: an existing file of that name in any case, the saver's
/// own spelling first; else that spelling. Loaders and the saver agree on the
/// file even when two spellings lie side by side.
std::filesystem::path sideFile(const std::string& path);

/// What a description file gives the presets it is read into.
struct DescriptionRecords {
    enum class Outcome {
        texts, ///< texts holds the first n descriptions
        clear, ///< no file, or not a description file: the descriptions become empty
        keep, ///< too few records or damaged lengths: the descriptions stay
    };
    Outcome outcome = Outcome::clear;
    std::vector<std::string> texts;
};

/// Checks every record before taking any of the first n.
DescriptionRecords decodeDescriptions(std::string_view bytes, int n);
/// Format 1, the header, the record count and the records in the order given.
std::string encodeDescriptions(const std::vector<const std::string*>& texts);

} // namespace kestrow
