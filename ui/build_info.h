#pragma once

#include <string>

namespace kestrow {

/// The version of this build ("0.1.0"), taken from the project version.
const char* buildVersion();

/// Where `cmake --install` puts the shipped data files (factory set,
/// Info.txt), relative to the installed program's directory, e.g.
/// "../../share/kestrow-editor/". Relative, so an install under any prefix finds them.
const char* dataDirectoryFromProgram();

/// programDirectory (ending with '/') followed by dataDirectoryFromProgram();
/// empty for an empty programDirectory.
std::string installedDataDirectory(const std::string& programDirectory);

} // namespace kestrow
