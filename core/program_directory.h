#pragma once

#include <string>
#include <string_view>

namespace kestrow {

/// Directory of the program file taken from a process command line, ending
/// with "/" (empty when the command line names no path).
std::string programDirectoryFromCommandLine(std::string_view commandLine);

/// The command line as the program builds it on Linux: the real path of the
/// running executable, in double quotes.
std::string currentCommandLine();

} // namespace kestrow
