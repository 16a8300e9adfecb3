#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestrow {

/// Outcome of writing one file: success, or the file and the reason it failed.
struct [[nodiscard]] FileResult {
    bool ok = true;
    std::string file;
    std::string reason;

    static FileResult success() { return {}; }
    static FileResult failure(const std::filesystem::path& file, std::string reason)
    {
        return { false, file.string(), std::move(reason) };
    }
    explicit operator bool() const { return ok; }
};

/// Whether the name ends in `extension` (".mid", lower case), compared
/// without regard to the name's case. Every file-type test goes through here.
bool hasExtension(std::string_view path, std::string_view extension);
/// Whether the name ends in ".MID", any letter case.
inline bool hasMidExtension(std::string_view path) { return hasExtension(path, ".mid"); }

/// The path without its last four characters (the ".MID").
std::string baseNameOf(std::string_view midPath);

/// The backup name of a file: the whole name followed by ".BAK".
std::filesystem::path backupPathOf(const std::filesystem::path& file);

/// Keeps target once as its ".BAK" (an existing backup stays, a missing
/// target has nothing to keep). Returns an error text, empty on success.
std::string keepBackup(const std::filesystem::path& target);

/// Permissions a new file gets: 0666 less the umask.
unsigned newFileMode();

/// The existing file whose name equals path's name without regard to ASCII
/// case (an exact match wins); nothing when there is none. Side files are
/// asked for as ".cfg" but written as ".CFG".
std::optional<std::filesystem::path> findIgnoringCase(const std::filesystem::path& path);

/// A temporary file beside a target, so that the target is only ever
/// replaced whole. The temporary file is removed unless commit() succeeds.
class PendingFile {
public:
    explicit PendingFile(std::filesystem::path target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    /// Empty when the temporary file could not be created (see error()).
    const std::string& error() const { return m_error; }

    /// Writes all bytes and flushes them to disk; false on a short write.
    bool write(std::string_view bytes);

    /// Flushes the temporary file (written by someone else) to disk, keeps an
    /// existing target once as its ".BAK" (an existing backup stays) and
    /// renames the temporary file over the target.
    FileResult commit(bool withBackup);

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    std::string m_error;
    bool m_committed = false;
};

/// Writes bytes to target through a temporary file in the same folder; with
/// withBackup the previous file stays once as its ".BAK".
FileResult writeFileAtomically(
    const std::filesystem::path& target, std::string_view bytes, bool withBackup);

/// The backup rule for a file of the set that is not written this time: it
/// moves to its ".BAK"; when that name is taken the file is removed, so that
/// it cannot pass for part of the newly saved set.
FileResult retireFile(const std::filesystem::path& file);

/// Keeps a file that cannot be read as its name followed by ".damaged"
/// (replacing an older one), so that no save replaces it.
FileResult keepAsDamaged(const std::filesystem::path& file);
/// The file's name followed by ".damaged".
std::filesystem::path damagedPathOf(const std::filesystem::path& file);

/// Reads a whole file; nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& file);

} // namespace kestrow
