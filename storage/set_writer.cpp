#include "storage/set_writer.h"

#include "platform/ini/ini_file.h"
#include "storage/file_replace.h"
#include "storage/save_marker.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrow {

namespace fs = std::filesystem;

namespace {

    SaveStepHook g_stepHook = nullptr;

    void step(const char* name)
    {
        if (g_stepHook != nullptr)
            g_stepHook(name);
    }

    constexpr std::string_view kMarkerSuffix = ".saving";
    constexpr std::uintmax_t kMaxMarkerSize = 64 * 1024;
    // .dev: what the device holds, kept beside the autosave set.
    constexpr std::array<std::string_view, 4> kSetExtensions { ".mid", ".cfg", ".nts", ".dev" };

    std::string errnoText(int error) { return std::strerror(error); }

    fs::path folderOf(const fs::path& file)
    {
        return file.parent_path().empty() ? fs::path(".") : file.parent_path();
    }

    fs::path markerOf(const fs::path& midPath)
    {
        return folderOf(midPath) / ("." + midPath.filename().string() + std::string(kMarkerSuffix));
    }

    bool isPresent(const fs::path& file)
    {
        struct ::stat info { };
        return ::lstat(file.c_str(), &info) == 0;
    }

    void syncFolder(const fs::path& folder)
    {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }

    /// Whether file holds exactly the contents of the given size and hash.
    bool holds(const fs::path& file, std::uintmax_t size, std::uint64_t hash)
    {
        std::error_code ec;
        if (fs::file_size(file, ec) != size || ec)
            return false;
        const auto bytes = readWholeFile(file);
        return bytes && bytes->size() == size && contentHash(*bytes) == hash;
    }

    bool isAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

    /// The set file N that a hidden scratch name belongs to: "." N "." and six
    /// letters or digits (a temporary or a kept old file), perhaps followed by
    /// ".tmp~" (the MIDI file layer's own temporary), or "." N ".saving." and six
    /// (a marker being written). Nothing for other names, markers included.
    std::optional<std::string_view> scratchOwner(std::string_view name)
    {
        if (name.size() < 2 || name.front() != '.')
            return std::nullopt;
        if (name.ends_with(".tmp~"))
            name.remove_suffix(5);
        if (name.size() < 9 || name[name.size() - 7] != '.'
            || !std::all_of(name.end() - 6, name.end(), isAlnum)
            || name.substr(name.size() - 6) == kMarkerSuffix.substr(1))
            return std::nullopt;
        name.remove_suffix(7);
        if (name.ends_with(kMarkerSuffix))
            name.remove_suffix(kMarkerSuffix.size());
        name.remove_prefix(1);
        if (name.empty())
            return std::nullopt;
        return name;
    }

    /// A hidden file beside target that did not exist: "." name "." six
    /// characters, created empty with the permissions of a new file.
    std::optional<fs::path> createScratch(const fs::path& target, std::string_view tag, int& error)
    {
        std::string pattern
            = (folderOf(target) / ("." + target.filename().string() + std::string(tag) + ".XXXXXX"))
                  .string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            error = errno;
            return std::nullopt;
        }
        ::fchmod(fd, static_cast<mode_t>(newFileMode()));
        ::close(fd);
        return fs::path(pattern);
    }

    /// Writes all bytes to file and flushes them to disk; an error text on failure.
    std::string writeAndSync(const fs::path& file, std::string_view bytes)
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0)
            return errnoText(errno);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                const int error = errno;
                ::close(fd);
                return errnoText(error);
            }
            done += static_cast<std::size_t>(n);
        }
        if (::fsync(fd) != 0) {
            const int error = errno;
            ::close(fd);
            return errnoText(error);
        }
        return ::close(fd) == 0 ? std::string() : errnoText(errno);
    }

    /// Keeps target's current contents under a hidden name for a roll-back: a
    /// second link where the file system has them, else a copy.
    std::optional<fs::path> keepOld(const fs::path& target, std::string& problem)
    {
        for (int attempt = 0; attempt < 8; ++attempt) {
            int error = 0;
            const auto name = createScratch(target, "", error);
            if (!name) {
                problem = "cannot create a file in its folder: " + errnoText(error);
                return std::nullopt;
            }
            ::unlink(name->c_str());
            if (::link(target.c_str(), name->c_str()) == 0)
                return name;
            if (errno == EEXIST)
                continue;
            const auto bytes = readWholeFile(target);
            int copyError = 0;
            const auto copy = bytes ? createScratch(target, "", copyError) : std::nullopt;
            if (!bytes || !copy) {
                problem = "cannot keep the old file for a roll-back";
                return std::nullopt;
            }
            problem = writeAndSync(*copy, *bytes);
            if (!problem.empty()) {
                ::unlink(copy->c_str());
                problem = "cannot keep the old file for a roll-back: " + problem;
                return std::nullopt;
            }
            return copy;
        }
        problem = "cannot keep the old file for a roll-back";
        return std::nullopt;
    }

    // --- Finishing and rolling back ------------------------------------------------

    /// The renames of the entries in their order; each step can be repeated, so
    /// an interrupted run is finished by running it again. The first failure.
    FileResult finishEntries(const std::vector<SetEntry>& entries)
    {
        for (const SetEntry& e : entries) {
            if (e.temp.empty()) {
                FileResult retired = retireFile(e.target);
                if (!retired)
                    return retired;
                step("retire");
                continue;
            }
            if (!isPresent(e.temp)) {
                // Renamed before; unless someone took the new file away.
                if (!holds(e.target, e.size, e.hash))
                    return FileResult::failure(e.target, "its new contents are gone");
                continue;
            }
            const std::string problem = keepBackup(e.target);
            if (!problem.empty())
                return FileResult::failure(e.target, problem);
            step("backup");
            if (::rename(e.temp.c_str(), e.target.c_str()) != 0)
                return FileResult::failure(
                    e.target, "cannot replace the file: " + errnoText(errno));
            step("rename");
        }
        return FileResult::success();
    }

    bool canFinish(const std::vector<SetEntry>& entries)
    {
        return std::all_of(entries.begin(), entries.end(), [](const SetEntry& e) {
            return e.temp.empty() || isPresent(e.temp) || holds(e.target, e.size, e.hash);
        });
    }

    /// Puts every target back as it was before the save; the first failure.
    FileResult rollBackEntries(const std::vector<SetEntry>& entries)
    {
        FileResult result;
        for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
            if (!e->old.empty()) {
                // Gone already: an earlier roll-back put it back.
                if (isPresent(e->old) && ::rename(e->old.c_str(), e->target.c_str()) != 0 && result)
                    result = FileResult::failure(
                        e->target, "cannot put the old file back: " + errnoText(errno));
                // A backup this save made holds what the target holds again.
                const fs::path backup = backupPathOf(e->target);
                if (e->makesBackup && isPresent(backup)
                    && readWholeFile(backup) == readWholeFile(e->target))
                    ::unlink(backup.c_str());
            } else if (!e->temp.empty() && !isPresent(e->temp)
                && holds(e->target, e->size, e->hash)) {
                ::unlink(e->target.c_str()); // a file the save created
            }
            step("restore");
            if (!e->temp.empty())
                ::unlink(e->temp.c_str());
        }
        return result;
    }

    void removeOldFiles(const std::vector<SetEntry>& entries)
    {
        for (const SetEntry& e : entries) {
            if (!e.old.empty() && ::unlink(e.old.c_str()) == 0)
                step("remove old");
        }
    }

    /// Puts right the interrupted save that marker records.
    void recoverMarker(const fs::path& marker, SaveRecovery& report)
    {
        const fs::path folder = folderOf(marker);
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(marker, ec);
        const auto bytes = !ec && size <= kMaxMarkerSize ? readWholeFile(marker) : std::nullopt;
        const auto entries = bytes ? decodeSaveMarker(*bytes, folder) : std::nullopt;
        if (!entries) {
            // Written whole or not at all, so only damage on the disk gets here;
            // the set stays as it is found.
            report.problems.push_back(FileResult::failure(
                marker, "the record of an interrupted save is damaged; it was removed"));
            ::unlink(marker.c_str());
            return;
        }
        FileResult done = canFinish(*entries) ? finishEntries(*entries)
                                              : FileResult::failure(marker,
                                                  "a file of the interrupted save is missing, "
                                                  "so the set was put back as it was before it");
        if (done) {
            ++report.finished;
        } else {
            FileResult back = rollBackEntries(*entries);
            if (!back) {
                // The marker stays, so that a later start tries again.
                report.problems.push_back(std::move(back));
                return;
            }
            ++report.rolledBack;
        }
        syncFolder(folder);
        ::unlink(marker.c_str());
        step("marker removed");
        removeOldFiles(*entries);
        syncFolder(folder);
    }

    bool isRegularFile(const fs::path& file)
    {
        struct ::stat info { };
        return ::lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    }

    /// The set a set file belongs to, for comparing: its name without the
    /// extension, in lower case.
    std::string setKey(std::string_view fileName)
    {
        return asciiLower(fileName.substr(0, fileName.size() >= 4 ? fileName.size() - 4 : 0));
    }

    bool isSetFileName(std::string_view name)
    {
        return std::any_of(kSetExtensions.begin(), kSetExtensions.end(),
            [name](std::string_view ext) { return hasExtension(name, ext); });
    }

    /// Removes the scratch files in folder of the sets whose key passes `wanted`.
    template <class Wanted>
    void removeScratch(const fs::path& folder, Wanted wanted, SaveRecovery& report)
    {
        std::error_code ec;
        std::vector<fs::path> found;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            const auto owner = scratchOwner(name);
            if (owner && isSetFileName(*owner) && wanted(setKey(*owner)))
                found.push_back(it->path());
        }
        for (const fs::path& file : found) {
            if (isRegularFile(file) && ::unlink(file.c_str()) == 0)
                ++report.temporariesRemoved;
        }
    }

} // namespace

void setSaveStepHook(SaveStepHook hook) { g_stepHook = hook; }

bool hasInterruptedSave(const fs::path& midPath) { return isPresent(markerOf(midPath)); }

SaveRecovery recoverInterruptedSave(const fs::path& midPath)
{
    SaveRecovery report;
    const fs::path marker = markerOf(midPath);
    if (isPresent(marker))
        recoverMarker(marker, report);
    if (isPresent(marker))
        return report; // its files are still needed
    const std::string key = setKey(midPath.filename().string());
    removeScratch(
        folderOf(midPath), [&key](const std::string& owner) { return owner == key; }, report);
    return report;
}

SaveRecovery recoverInterruptedSaves(const fs::path& folder)
{
    SaveRecovery report;
    std::error_code ec;
    std::vector<fs::path> markers;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 1 + kMarkerSuffix.size() && name.front() == '.'
            && name.ends_with(kMarkerSuffix)
            && hasExtension(name.substr(0, name.size() - kMarkerSuffix.size()), ".mid"))
            markers.push_back(it->path());
    }
    std::sort(markers.begin(), markers.end());
    std::vector<std::string> stillNeeded;
    for (const fs::path& marker : markers) {
        recoverMarker(marker, report);
        if (isPresent(marker)) {
            const std::string name = marker.filename().string();
            stillNeeded.push_back(setKey(name.substr(1, name.size() - 1 - kMarkerSuffix.size())));
        }
    }
    removeScratch(
        folder,
        [&stillNeeded](const std::string& owner) {
            return std::find(stillNeeded.begin(), stillNeeded.end(), owner) == stillNeeded.end();
        },
        report);
    return report;
}

// --- SetWriter -------------------------------------------------------------------

SetWriter::SetWriter(fs::path midPath)
    : m_midPath(std::move(midPath))
{
    SaveRecovery recovered = recoverInterruptedSave(m_midPath);
    if (isPresent(markerOf(m_midPath)) && !recovered.problems.empty()) {
        m_readiness = FileResult::failure(recovered.problems.front().file,
            "an interrupted save of this set cannot be put right: "
                + recovered.problems.front().reason);
    }
}

SetWriter::~SetWriter()
{
    if (m_committed || isPresent(markerOf(m_midPath)))
        return; // done, or left for the next start to put right
    for (const SetEntry& e : m_entries) {
        if (!e.temp.empty())
            ::unlink(e.temp.c_str());
        if (!e.old.empty())
            ::unlink(e.old.c_str());
    }
}

std::optional<fs::path> SetWriter::stageFile(const fs::path& target, FileResult& result)
{
    int error = 0;
    auto temp = createScratch(target, "", error);
    if (!temp) {
        result = FileResult::failure(
            target, "cannot create a file in its folder: " + errnoText(error));
        return std::nullopt;
    }
    m_entries.push_back({ target, *temp, {}, 0, 0 });
    result = FileResult::success();
    return temp;
}

FileResult SetWriter::stageBytes(const fs::path& target, std::string_view bytes)
{
    FileResult result;
    const auto temp = stageFile(target, result);
    if (!temp)
        return result;
    const std::string problem = writeAndSync(*temp, bytes);
    if (!problem.empty())
        return FileResult::failure(target, "cannot write: " + problem);
    step("temporary");
    return result;
}

void SetWriter::retire(const fs::path& target) { m_entries.push_back({ target, {}, {}, 0, 0 }); }

FileResult SetWriter::commit()
{
    if (!m_readiness)
        return m_readiness;
    constexpr const char* kUnchanged = "; no file of the set was changed";
    for (SetEntry& e : m_entries) {
        struct ::stat info { };
        const bool present = ::lstat(e.target.c_str(), &info) == 0;
        if (present && S_ISDIR(info.st_mode))
            return FileResult::failure(
                e.target, std::string("a folder of that name is in the way") + kUnchanged);
        // Root may write anything: a file without write permission is read-only all the same.
        if (present && S_ISREG(info.st_mode)
            && ((info.st_mode & 0222) == 0 || ::access(e.target.c_str(), W_OK) != 0))
            return FileResult::failure(e.target, std::string("the file is read-only") + kUnchanged);
        if (e.temp.empty())
            continue;
        // The new file keeps the permissions of the one it replaces.
        const mode_t mode = present && S_ISREG(info.st_mode) ? (info.st_mode & 07777)
                                                             : static_cast<mode_t>(newFileMode());
        const int fd = ::open(e.temp.c_str(), O_RDONLY | O_CLOEXEC);
        const bool flushed = fd >= 0 && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        const auto bytes = flushed ? readWholeFile(e.temp) : std::nullopt;
        if (!bytes)
            return FileResult::failure(e.target, "cannot flush to disk: " + errnoText(error));
        e.size = bytes->size();
        e.hash = contentHash(*bytes);
    }
    for (SetEntry& e : m_entries) {
        if (!isPresent(e.target))
            continue;
        std::string problem;
        const auto old = keepOld(e.target, problem);
        if (!old)
            return FileResult::failure(e.target, problem + kUnchanged);
        e.old = *old;
        e.makesBackup = !isPresent(backupPathOf(e.target));
        step("keep old");
    }
    const fs::path folder = folderOf(m_midPath);
    syncFolder(folder);

    // From here on the marker lets a later start finish what this one began.
    const fs::path marker = markerOf(m_midPath);
    int error = 0;
    const auto markerTemp = createScratch(m_midPath, kMarkerSuffix, error);
    std::string problem = markerTemp ? writeAndSync(*markerTemp, encodeSaveMarker(m_entries))
                                     : "cannot create a file in its folder: " + errnoText(error);
    if (problem.empty() && ::rename(markerTemp->c_str(), marker.c_str()) != 0)
        problem = errnoText(errno);
    if (!problem.empty()) {
        if (markerTemp)
            ::unlink(markerTemp->c_str());
        return FileResult::failure(m_midPath, "cannot record the save: " + problem + kUnchanged);
    }
    syncFolder(folder);
    step("marker");

    FileResult done = finishEntries(m_entries);
    if (!done) {
        if (rollBackEntries(m_entries)) {
            syncFolder(folder);
            ::unlink(marker.c_str());
            removeOldFiles(m_entries);
            done.reason += kUnchanged;
        } else {
            done.reason += "; the set is put right at the next start";
        }
        syncFolder(folder);
        return done;
    }
    syncFolder(folder);
    ::unlink(marker.c_str());
    step("marker removed");
    removeOldFiles(m_entries);
    syncFolder(folder);
    m_committed = true;
    return FileResult::success();
}

} // namespace kestrow
