#include "platform/mididrv/device_names.h"

#include "platform/mididrv/mididrv.h"

#include <algorithm>
#include <set>

namespace kestrow::mididrv {

namespace {

    std::string cut(const std::string& text, std::size_t room)
    {
        if (text.size() <= room)
            return text;
        std::size_t end = room;
        // Back up to the start of a UTF-8 sequence.
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        return text.substr(0, end);
    }

    std::vector<std::string> numbered(const std::vector<std::string>& names, std::size_t room)
    {
        std::vector<std::string> out;
        std::set<std::string> used;
        for (const std::string& raw : names) {
            std::string name = raw.empty() ? std::string("MIDI port") : raw;
            std::replace(name.begin(), name.end(), '\0', ' ');
            std::string candidate = cut(name, room);
            for (int n = 2; used.count(candidate) != 0; ++n) {
                std::string suffix = " #" + std::to_string(n);
                candidate = cut(name, room - suffix.size()) + suffix;
            }
            used.insert(candidate);
            out.push_back(candidate);
        }
        return out;
    }

} // namespace

std::vector<std::string> describe(const std::vector<std::string>& names)
{
    return numbered(names, MIDIDRV_DESCRIPTION_SIZE - 1);
}

std::vector<std::string> uniqueNames(const std::vector<std::string>& names)
{
    // Room enough for any name, and for the number after it.
    return numbered(names, std::string::npos / 2);
}

} // namespace kestrow::mididrv
