#include "storage/file_replace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrow {

namespace fs = std::filesystem;

namespace {

    std::string errnoText(int error) { return std::strerror(error); }

    char lowerAscii(char c)
    {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }

    bool equalIgnoringCase(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (lowerAscii(a[i]) != lowerAscii(b[i]))
                return false;
        }
        return true;
    }

} // namespace

unsigned newFileMode()
{
    // umask can only be read by setting it; put it straight back.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<unsigned>(0666 & ~mask);
}

namespace {

    bool syncFile(const fs::path& file)
    {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool ok = ::fsync(fd) == 0;
        ::close(fd);
        return ok;
    }

    void syncDirectoryOf(const fs::path& file)
    {
        const fs::path dir = file.parent_path().empty() ? fs::path(".") : file.parent_path();
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }

} // namespace

bool hasExtension(std::string_view path, std::string_view extension)
{
    return path.size() >= extension.size()
        && equalIgnoringCase(path.substr(path.size() - extension.size()), extension);
}

std::string baseNameOf(std::string_view midPath)
{
    return std::string(midPath.substr(0, midPath.size() >= 4 ? midPath.size() - 4 : 0));
}

fs::path backupPathOf(const fs::path& file)
{
    fs::path backup = file;
    backup += ".BAK";
    return backup;
}

// The link leaves target in place, so the following rename replaces it
// without a moment in which neither exists.
std::string keepBackup(const fs::path& target)
{
    const fs::path backup = backupPathOf(target);
    if (::link(target.c_str(), backup.c_str()) == 0)
        return {};
    const int error = errno;
    if (error == ENOENT || error == EEXIST)
        return {}; // no earlier file, or the backup of an earlier save stays
    // File systems without hard links: move the file, never over a backup.
    if (::renameat2(AT_FDCWD, target.c_str(), AT_FDCWD, backup.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno == EEXIST || errno == ENOENT)
        return {};
    return "cannot keep the backup " + backup.filename().string() + ": " + errnoText(errno);
}

std::optional<fs::path> findIgnoringCase(const fs::path& path)
{
    std::error_code ec;
    if (fs::is_regular_file(path, ec))
        return path;
    const fs::path dir = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    const std::string wanted = path.filename().string();
    std::optional<fs::path> found;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!equalIgnoringCase(name, wanted) || !it->is_regular_file(ec))
            continue;
        // Several candidates (Foo.cfg and Foo.CFG): take the first in name
        // order so the choice does not depend on the directory's order.
        if (!found || name < found->filename().string())
            found = path.parent_path() / name;
    }
    return found;
}

PendingFile::PendingFile(fs::path target)
    : m_target(std::move(target))
{
    const fs::path dir = m_target.parent_path();
    std::string pattern = (dir / ("." + m_target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        m_error = "cannot create a file in its folder: " + errnoText(errno);
        return;
    }
    ::fchmod(fd, static_cast<mode_t>(newFileMode()));
    ::close(fd);
    m_temp = pattern;
}

PendingFile::~PendingFile()
{
    if (!m_committed && !m_temp.empty())
        ::unlink(m_temp.c_str());
}

bool PendingFile::write(std::string_view bytes)
{
    if (m_temp.empty())
        return false;
    const int fd = ::open(m_temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        m_error = errnoText(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errnoText(errno);
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        m_error = errnoText(errno);
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0) {
        m_error = errnoText(errno);
        return false;
    }
    return true;
}

FileResult PendingFile::commit(bool withBackup)
{
    if (m_temp.empty())
        return FileResult::failure(m_target, m_error);
    if (!syncFile(m_temp))
        return FileResult::failure(m_target, "cannot flush to disk: " + errnoText(errno));
    if (withBackup) {
        const std::string problem = keepBackup(m_target);
        if (!problem.empty())
            return FileResult::failure(m_target, problem);
    }
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0)
        return FileResult::failure(m_target, "cannot replace the file: " + errnoText(errno));
    m_committed = true;
    syncDirectoryOf(m_target);
    return FileResult::success();
}

FileResult writeFileAtomically(const fs::path& target, std::string_view bytes, bool withBackup)
{
    PendingFile pending(target);
    if (!pending.write(bytes))
        return FileResult::failure(
            target, pending.error().empty() ? "cannot write" : pending.error());
    return pending.commit(withBackup);
}

FileResult retireFile(const fs::path& file)
{
    const fs::path backup = backupPathOf(file);
    if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, backup.c_str(), RENAME_NOREPLACE) == 0)
        return FileResult::success();
    int error = errno;
    if (error == ENOENT)
        return FileResult::success();
    if (error == EINVAL || error == ENOSYS) {
        // No atomic no-replace move here: a link fails on a taken name too.
        if (::link(file.c_str(), backup.c_str()) == 0) {
            ::unlink(file.c_str());
            return FileResult::success();
        }
        error = errno;
        if (error == ENOENT)
            return FileResult::success();
    }
    if (error == EEXIST) {
        if (::unlink(file.c_str()) == 0 || errno == ENOENT)
            return FileResult::success();
        error = errno;
    }
    return FileResult::failure(file, "cannot remove the old file: " + errnoText(error));
}

fs::path damagedPathOf(const fs::path& file)
{
    fs::path kept = file;
    kept += ".damaged";
    return kept;
}

FileResult keepAsDamaged(const fs::path& file)
{
    if (::rename(file.c_str(), damagedPathOf(file).c_str()) == 0)
        return FileResult::success();
    return FileResult::failure(file,
        "cannot rename it to " + damagedPathOf(file).filename().string() + ": " + errnoText(errno));
}

std::optional<std::string> readWholeFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
    if (in.bad())
        return std::nullopt;
    return bytes;
}

} // namespace kestrow
