#include "core/listings.h"

namespace kestrow {

namespace {

    /// Pads with blanks to exactly `width` characters, cutting longer text.
    std::string fitted(const std::string& text, std::size_t width)
    {
        std::string result = text.substr(0, width);
        result.resize(width, ' ');
        return result;
    }

    /// A number followed by a blank and cut to `width`: "7  " -> "7  ", "100  " -> "100".
    std::string numberCell(int number, std::size_t width)
    {
        return (std::to_string(number) + std::string(width, ' ')).substr(0, width);
    }

    std::string listingHeader(const Preset& preset, int presetIndex)
    {
        return numberCell(presetIndex + 1, 3) + ": " + preset.name;
    }

} // namespace

std::vector<std::string> knobNameListing(const Preset& preset, int presetIndex)
{
    std::vector<std::string> lines { listingHeader(preset, presetIndex), std::string(70, '-') };
    for (int i = 1; i <= 8; ++i) {
        lines.push_back("  " + numberCell(i, 2) + " "
            + fitted(preset.knobName[static_cast<std::size_t>(i - 1)], 24) + "    |    "
            + numberCell(i + 8, 2) + " "
            + fitted(preset.knobName[static_cast<std::size_t>(i + 7)], 24) + "    |");
    }
    lines.emplace_back();
    return lines;
}

std::vector<std::string> parameterListing(
    const Catalogue& catalogue, const Preset& preset, int presetIndex)
{
    std::vector<std::string> lines { listingHeader(preset, presetIndex), std::string(94, '-') };
    for (int k = 1; k <= kKnobCount; ++k) {
        const int knob = k - 1;
        lines.push_back("  " + numberCell(k, 2) + " "
            + fitted(catalogue.cellText(preset, knob, kFieldKnobName), 24) + " | "
            + fitted(catalogue.cellText(preset, knob, kFieldChannel), 6) + " | "
            + fitted(catalogue.cellText(preset, knob, kFieldEventType), 24) + " | "
            + fitted(catalogue.cellText(preset, knob, kFieldFixedParameter), 24) + " |");
    }
    lines.emplace_back();
    return lines;
}

} // namespace kestrow
