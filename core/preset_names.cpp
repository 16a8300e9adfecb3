#include "core/preset_names.h"

#include "core/text_codec.h"

#include <algorithm>

namespace kestrow {

namespace {

    std::string trimmed(const std::string& text)
    {
        const auto first = text.find_first_not_of(" \t\r\n");
        if (first == std::string::npos)
            return {};
        const auto last = text.find_last_not_of(" \t\r\n");
        return text.substr(first, last - first + 1);
    }

} // namespace

std::string presetNameFromEdit(const std::string& text)
{
    std::string name = trimmed(text).substr(0, kPresetNameLength);
    const auto colon = name.find(':');
    if (colon != std::string::npos)
        name.erase(0, std::min(name.size(), colon + 2));
    return name;
}

std::string presetNameFromItemText(const std::string& itemText)
{
    const auto separator = itemText.find(": ");
    return separator == std::string::npos ? itemText : itemText.substr(separator + 2);
}

std::string presetNameFromEditor(const std::string& text)
{
    return trimmed(text).substr(0, kPresetNameLength);
}

std::string knobNameFromText(const std::string& utf8)
{
    std::string name = utf8ToCp1252(utf8);
    if (name.size() > kKnobNameLength)
        name.resize(kKnobNameLength);
    return name;
}

} // namespace kestrow
