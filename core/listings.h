#pragma once

#include "core/catalogue.h"
#include "core/preset_bank.h"

#include <string>
#include <vector>

namespace kestrow {

/// The knob-name listing of preset index p (0-based): header, 70 dashes,
/// eight lines, one empty line. Windows-1252 text, one entry per line.
std::vector<std::string> knobNameListing(const Preset& preset, int presetIndex);

/// The parameter listing of preset index p: header, 94 dashes, sixteen
/// lines, one empty line.
std::vector<std::string> parameterListing(
    const Catalogue& catalogue, const Preset& preset, int presetIndex);

} // namespace kestrow
