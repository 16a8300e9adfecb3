#pragma once

#include "core/library_index.h"
#include "core/preset_bank.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrow {

class TMidiSMF;

/// A preset file read as "Load All Presets" reads it into fresh presets.
struct SetReading {
    std::string error; ///< why it cannot be read, naming the file; empty when read
    std::string note; ///< what was passed over (messages of other devices), naming the file
    PresetSet presets {};
    std::array<std::uint8_t, kPresetCount> held {}; ///< 1 for the presets the file holds
    bool initValues = false; ///< the dump carries init values (saved for a zembraDial)

    bool ok() const { return error.empty(); }
};

/// Reads the .MID with its side files; never throws (the file layer's errors
/// become `error`).
SetReading readPresetSet(const std::string& path, TMidiSMF& smf);

/// The preset files (.MID in any letter case) of the paths given: a file
/// as it is, a folder searched through its subfolders, each sorted by path.
/// What cannot be read is named in `problems` ("PATH: reason") and passed over.
std::vector<std::string> findPresetFiles(
    const std::vector<std::string>& paths, std::vector<std::string>& problems);

/// The stamp of a set's files now; a .MID that cannot be looked at gives a zero stamp.
SetStamp stampOf(const std::string& midPath);

/// The set as the library keeps it: read, or listed with its damage.
LibrarySet readLibrarySet(LibraryIndex& index, const std::string& path, TMidiSMF& smf);

/// Brings an index up to date with its folders in steps, so a window can
/// stay responsive: start() lists the files and drops sets that are gone,
/// step() reads the sets that are new or whose stamp changed.
class LibraryScan {
public:
    /// Lists the folders' files now; returns the number of sets to read.
    std::size_t start(LibraryIndex& index, const std::vector<std::string>& folders);
    /// Reads up to `count` sets; true when none is left.
    bool step(LibraryIndex& index, TMidiSMF& smf, std::size_t count);
    bool done() const { return m_next >= m_pending.size(); }
    std::size_t pending() const { return m_pending.size() - m_next; }
    /// Folders and files that could not be looked at, "PATH: reason".
    const std::vector<std::string>& problems() const { return m_problems; }

private:
    std::vector<std::string> m_pending;
    std::size_t m_next = 0;
    std::vector<std::string> m_problems;
};

} // namespace kestrow
