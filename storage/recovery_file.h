#pragma once

#include "core/preset_bank.h"
#include "storage/file_replace.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kestrow {

/// The working set as the crash-recovery journal holds it.
struct RecoveryContents {
    std::array<Preset, kPresetCount> presets;
    std::int32_t selectedPreset = 0; ///< 0..127
    DeviceVariant variant = DeviceVariant::zembraControl;
    std::int64_t savedAt = 0; ///< when the journal was written, seconds since 1970-01-01 UTC

    bool operator==(const RecoveryContents&) const = default;
};

/// What reading a journal found. A damaged journal yields no contents at all.
struct RecoveryRead {
    enum class Status { missing, loaded, damaged };
    Status status = Status::missing;
    RecoveryContents contents; ///< only with loaded
    std::string reason; ///< with damaged: what is wrong, for the user
};

/// The journal's bytes: a magic line, the contents, a CRC-32 line.
std::string encodeRecovery(const RecoveryContents& contents);
/// Decodes all or nothing: any damage gives damaged with the reason.
RecoveryRead decodeRecovery(std::string_view bytes);

/// The crash-recovery journal "Recovery.kes" in the autosave folder. It exists
/// only while a run has changes that a clean close has not yet saved; it is
/// never one of the Config files.
class RecoveryFile {
public:
    /// A journal larger than this is refused unread.
    static constexpr std::uintmax_t kMaximumSize = 64u << 20;

    explicit RecoveryFile(std::filesystem::path folder);
    ~RecoveryFile();
    RecoveryFile(const RecoveryFile&) = delete;
    RecoveryFile& operator=(const RecoveryFile&) = delete;

    std::filesystem::path path() const { return m_folder / "Recovery.kes"; }
    /// Where "Discard" keeps the journal for one more run.
    std::filesystem::path oldPath() const { return m_folder / "Recovery.old"; }
    /// Where a damaged journal is kept for inspection.
    std::filesystem::path damagedPath() const { return m_folder / "Recovery.damaged"; }

    /// Claims the folder for this run until this object ends. False while
    /// another running editor holds it: its journal is alive, so neither
    /// offer it nor write over it. A crashed run holds nothing.
    bool claim();

    /// Replaces the journal whole (temporary file, flush, rename); on failure
    /// the previous journal stays as it was.
    FileResult write(const RecoveryContents& contents) const;
    /// Reads the journal: missing, loaded, or damaged with the reason.
    RecoveryRead read() const;

    /// Removes the journal (a clean close saved everything).
    FileResult remove() const;
    /// Keeps the journal as Recovery.old, replacing an older one.
    FileResult discard() const;
    /// Keeps a damaged journal as Recovery.damaged, replacing an older one.
    FileResult keepDamaged() const;
    /// Removes the Recovery.old of an earlier run's "Discard".
    FileResult removeOld() const;
    /// Removes the temporary files of journal writes that never finished.
    void removeTemporaries() const;

private:
    std::filesystem::path m_folder;
    int m_lock = -1;
};

} // namespace kestrow
