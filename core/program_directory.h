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

namespace kestrow {

/// Whether files can be created in the directory ("" is the current directory).
bool directoryWritable(const std::string& directory);

/// The per-user folder for the autosave set when the program's directory is
/// read-only: $XDG_DATA_HOME/kestrow-editor/ or ~/.local/share/kestrow-editor/,
/// ending with "/". Not created here.
std::string userDataDirectory();

/// Where the autosave set (Config.*) is read and written: programDirectory
/// when it is writable, else userDataDirectory().
std::string autosaveDirectory(const std::string& programDirectory);

/// Creates the directory and its parents; true when it exists afterwards.
bool ensureDirectory(const std::string& directory);

/// Directory from which a shipped file (factory set, Info.txt) is read: the
/// program's directory when the file is there (compared without regard to
/// case), else the installed data directory.
std::string dataFileDirectory(const std::string& fileName, const std::string& programDirectory,
    const std::string& installedDataDirectory);

} // namespace kestrow
