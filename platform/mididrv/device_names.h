#pragma once

#include <string>
#include <vector>

namespace kestrow::mididrv {

/// Turns the backends' port names into device descriptions that fit the
/// 32-byte buffer (31 bytes and the terminator, never cut inside a UTF-8
/// character) and are unique (" #2", " #3" ... on repeats).
std::vector<std::string> describe(const std::vector<std::string>& names);
/// The same, whole: " #2", " #3" ... on repeats, nothing cut.
std::vector<std::string> uniqueNames(const std::vector<std::string>& names);

} // namespace kestrow::mididrv
