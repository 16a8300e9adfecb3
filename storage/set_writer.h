#pragma once

#include "storage/file_replace.h"
#include "storage/save_marker.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

/// What putting right interrupted saves did.
struct SaveRecovery {
    int finished = 0; ///< interrupted saves whose renames were completed
    int rolledBack = 0; ///< interrupted saves put back to the set before them
    int temporariesRemoved = 0;
    std::vector<FileResult> problems; ///< what could not be put right stays as it is

    bool ok() const { return problems.empty(); }
};

/// Finishes every interrupted set save in folder (or, when a file it needs is
/// gone, rolls it back to the set before it) and removes the temporary files
/// that interrupted saves left there. Call at start-up, before any set of the
/// folder is read.
SaveRecovery recoverInterruptedSaves(const std::filesystem::path& folder);
/// The same for the one set whose dump file is midPath.
SaveRecovery recoverInterruptedSave(const std::filesystem::path& midPath);
/// Whether an interrupted save of the set of midPath waits to be put right.
bool hasInterruptedSave(const std::filesystem::path& midPath);

/// Replaces the files of one set (.MID, .CFG, .NTS) as a whole. Each new file
/// is written to a temporary file beside it first; commit() then writes a
/// small marker naming every rename, keeps each old file under a hidden name,
/// renames the files into place in the order they were staged (each previous
/// file kept once as its ".BAK" on the way) and removes the marker. Killed at
/// any point, the folder holds the old set with stray temporaries (no marker
/// yet) or a marker from which recoverInterruptedSave() finishes the new set.
/// Anything staged and not committed is removed when the writer ends.
class SetWriter {
public:
    /// Puts right an interrupted save of this set and removes its temporaries.
    explicit SetWriter(std::filesystem::path midPath);
    ~SetWriter();
    SetWriter(const SetWriter&) = delete;
    SetWriter& operator=(const SetWriter&) = delete;

    /// Why no save of this set can start; ok when one can.
    const FileResult& readiness() const { return m_readiness; }

    /// A new empty temporary file for target, for a writer that takes a path;
    /// nothing (see the result) when it cannot be created.
    std::optional<std::filesystem::path> stageFile(
        const std::filesystem::path& target, FileResult& result);
    /// target's new contents, written to a temporary file and flushed to disk.
    FileResult stageBytes(const std::filesystem::path& target, std::string_view bytes);
    /// target is not part of the new set: it moves to its ".BAK", or goes when
    /// that name is taken, so that it cannot pass for part of the new set.
    void retire(const std::filesystem::path& target);

    /// Replaces the staged files. On failure nothing of the set has changed
    /// and the result names the one file that failed. A read-only file of the set fails it before
    /// anything is renamed; a replaced file keeps its permissions.
    FileResult commit();

private:
    std::filesystem::path m_midPath;
    std::vector<SetEntry> m_entries;
    FileResult m_readiness;
    bool m_committed = false;
};

/// Test seam: called with a short name after every step of a save or a
/// recovery that changes the folder. Not for production use.
using SaveStepHook = void (*)(const char* step);
void setSaveStepHook(SaveStepHook hook);

} // namespace kestrow
