#include "core/program_directory.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace kestrow {

std::string programDirectoryFromCommandLine(std::string_view commandLine)
{
    std::string_view path;
    if (!commandLine.empty() && commandLine.front() == '"') {
        const std::string_view rest = commandLine.substr(1);
        path = rest.substr(0, rest.find('"'));
    } else {
        const std::size_t quote = commandLine.find('"');
        if (quote == std::string_view::npos)
            return {};
        // The path ends at the blank(s) in front of the first quoted argument.
        path = commandLine.substr(0, quote);
        while (!path.empty() && (path.back() == ' ' || path.back() == '\t'))
            path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    return std::string(path.substr(0, slash + 1));
}

std::string currentCommandLine()
{
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return "\"" + exe.string() + "\"";
}

} // namespace kestrow

namespace kestrow {

namespace {

    std::string withSlash(std::string directory)
    {
        if (!directory.empty() && directory.back() != '/')
            directory += '/';
        return directory;
    }

    bool containsIgnoringCase(const std::string& directory, const std::string& fileName)
    {
        std::error_code error;
        const std::filesystem::path dir = directory.empty() ? "." : directory;
        if (std::filesystem::exists(dir / fileName, error))
            return true;
        const auto lower = [](std::string s) {
            for (char& c : s)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return s;
        };
        const std::string wanted = lower(fileName);
        for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end;
             it.increment(error)) {
            if (lower(it->path().filename().string()) == wanted)
                return true;
        }
        return false;
    }

} // namespace

bool directoryWritable(const std::string& directory)
{
    const std::string dir = directory.empty() ? "." : directory;
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

std::string userDataDirectory()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return withSlash(xdg) + "kestrow-editor/";
    const char* home = std::getenv("HOME");
    const std::string base = home != nullptr && home[0] != '\0' ? home : ".";
    return withSlash(base) + ".local/share/kestrow-editor/";
}

std::string autosaveDirectory(const std::string& programDirectory)
{
    return directoryWritable(programDirectory) ? programDirectory : userDataDirectory();
}

bool ensureDirectory(const std::string& directory)
{
    if (directory.empty())
        return true;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    return std::filesystem::is_directory(directory, error);
}

std::string dataFileDirectory(const std::string& fileName, const std::string& programDirectory,
    const std::string& installedDataDirectory)
{
    if (containsIgnoringCase(programDirectory, fileName) || installedDataDirectory.empty())
        return programDirectory;
    if (containsIgnoringCase(installedDataDirectory, fileName))
        return withSlash(installedDataDirectory);
    return programDirectory;
}

} // namespace kestrow
