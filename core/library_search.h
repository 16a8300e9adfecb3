#pragma once

#include "core/bank_search.h"
#include "core/library_index.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kestrow {

/// A match in the library: set number, preset 0..127 and knob 0..15 (or
/// kDescriptionMatch, kPresetNameMatch).
struct LibraryMatch {
    std::size_t set = 0;
    SearchMatch at;

    bool operator==(const LibraryMatch&) const = default;
};

struct LibrarySearch {
    std::vector<LibraryMatch> matches; ///< the first `limit`, by set path, preset and knob
    std::size_t total = 0; ///< all matches, also those past the limit
};

/// The knobs, presets and descriptions of every readable set that meet the
/// criteria, as findAssignments finds them in one set; only the presets a
/// file holds are searched.
LibrarySearch searchLibrary(
    const LibraryIndex& index, const SearchCriteria& criteria, std::size_t limit);

/// One line per match, Windows-1252: the set's file name, then matchText.
std::string libraryMatchText(
    const Catalogue& catalogue, const LibraryIndex& index, const LibraryMatch& match);

/// Groups of readable sets (set numbers, ascending) that hold the same
/// presets with the same names and descriptions; only groups of two or more.
std::vector<std::vector<std::size_t>> duplicateSets(const LibraryIndex& index);

} // namespace kestrow
