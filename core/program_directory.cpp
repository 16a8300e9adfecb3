#include "program_directory.h"

#include <filesystem>
#include <system_error>

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
