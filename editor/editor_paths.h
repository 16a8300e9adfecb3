#pragma once

#include <string>

namespace kestrow {

/// Where the files of a run live; every directory ends with "/" (or is empty
/// for the current directory).
struct EditorPaths {
    std::string programDirectory; ///< the executable's directory
    std::string autosaveDirectory; ///< Config.* (program dir, or the per-user folder)
    std::string factoryDirectory; ///< FactoryPresets.*
    std::string infoDirectory; ///< Info.txt
};

} // namespace kestrow
