// kestrow-factory-gen TABLE OUT.MID: turns the factory preset table into a
// preset file set (OUT.MID, .CFG, .NTS) with the editor's storage code.

#include "core/preset_bank.h"
#include "core/text_codec.h"
#include "midi/midi_driver.h"
#include "midi/midi_smf.h"
#include "storage/preset_files.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kestrow {
namespace {

    constexpr std::size_t kNameLimit = 35;
    constexpr std::size_t kKnobNameLimit = 24;

    struct TableError {
        int line;
        std::string message;
    };

    std::string trimmed(std::string_view text)
    {
        const auto first = text.find_first_not_of(" \t\r");
        if (first == std::string_view::npos)
            return {};
        const auto last = text.find_last_not_of(" \t\r");
        return std::string(text.substr(first, last - first + 1));
    }

    std::vector<std::string> fields(const std::string& line)
    {
        std::vector<std::string> out;
        std::size_t start = 0;
        for (;;) {
            const std::size_t bar = line.find('|', start);
            out.push_back(trimmed(std::string_view(line).substr(
                start, bar == std::string::npos ? std::string::npos : bar - start)));
            if (bar == std::string::npos)
                return out;
            start = bar + 1;
        }
    }

    int number(const std::string& text, int low, int high, int line, const char* what)
    {
        std::size_t used = 0;
        int value = 0;
        try {
            value = std::stoi(text, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != text.size() || value < low || value > high)
            throw TableError { line,
                std::string(what) + " must be " + std::to_string(low) + ".."
                    + std::to_string(high) };
        return value;
    }

    /// Reads the table into the bank; every preset must list its 16 knobs.
    void readTable(std::istream& in, PresetBank& bank)
    {
        std::vector<bool> seen(kPresetCount, false);
        std::vector<int> knobsSeen(kPresetCount, 0);
        int current = -1;
        int lineNumber = 0;
        std::string line;
        while (std::getline(in, line)) {
            ++lineNumber;
            const std::string text = trimmed(line);
            if (text.empty() || text.front() == '#')
                continue;
            const std::vector<std::string> f = fields(text);
            const std::string head = f[0];
            if (head.starts_with("preset ") && f.size() == 2) {
                current
                    = number(trimmed(head.substr(7)), 1, kPresetCount, lineNumber, "preset number")
                    - 1;
                if (seen[static_cast<std::size_t>(current)])
                    throw TableError { lineNumber, "preset listed twice" };
                seen[static_cast<std::size_t>(current)] = true;
                const std::string name = utf8ToCp1252(f[1]);
                if (name.size() > kNameLimit)
                    throw TableError { lineNumber, "preset name longer than 35 characters" };
                bank.presets[static_cast<std::size_t>(current)].name = name;
            } else if (current < 0) {
                throw TableError { lineNumber, "line before the first preset" };
            } else if (head == "text" && f.size() == 2) {
                std::string& description
                    = bank.presets[static_cast<std::size_t>(current)].description;
                // Descriptions keep Windows line breaks, as the editor's files always have.
                if (!description.empty())
                    description += "\r\n";
                description += utf8ToCp1252(f[1]);
            } else if (head.starts_with("knob ") && f.size() == 6) {
                const int k
                    = number(trimmed(head.substr(5)), 1, kKnobCount, lineNumber, "knob number") - 1;
                Preset& p = bank.presets[static_cast<std::size_t>(current)];
                p.channel[k] = number(f[1], 0, 16, lineNumber, "channel");
                p.eventType[k] = number(f[2], 0, 127, lineNumber, "event");
                p.fixedParameter[k] = number(f[3], 0, 127, lineNumber, "fixed parameter");
                p.initValue[k] = number(f[4], 0, 127, lineNumber, "init value");
                p.knobName[k] = utf8ToCp1252(f[5]);
                if (p.knobName[k].size() > kKnobNameLimit)
                    throw TableError { lineNumber, "knob name longer than 24 characters" };
                ++knobsSeen[static_cast<std::size_t>(current)];
            } else {
                throw TableError { lineNumber, "not a preset, text or knob line" };
            }
        }
        for (int p = 0; p < kPresetCount; ++p) {
            if (!seen[static_cast<std::size_t>(p)])
                throw TableError { 0, "preset " + std::to_string(p + 1) + " is missing" };
            if (knobsSeen[static_cast<std::size_t>(p)] != kKnobCount)
                throw TableError { 0,
                    "preset " + std::to_string(p + 1) + " does not list 16 knobs" };
        }
    }

} // namespace
} // namespace kestrow

int main(int argc, char** argv)
{
    using namespace kestrow;
    if (argc != 3) {
        std::cerr << "usage: kestrow-factory-gen TABLE OUT.MID\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << argv[1] << ": cannot read\n";
        return 2;
    }
    try {
        PresetBank bank;
        readTable(in, bank);
        TMidiDriver driver;
        TMidiSMF smf(&driver);
        // Written for the zembraDial so the initial values are kept.
        const DeviceVariant dial = DeviceVariant::zembraDial;
        PresetFiles files(bank, smf, dial);
        // A build writes the set afresh: no backups of an older build.
        const std::string base = baseNameOf(argv[2]);
        for (const char* ext : { ".MID", ".CFG", ".NTS", ".MID.BAK", ".CFG.BAK", ".NTS.BAK" })
            std::filesystem::remove(base + ext);
        const SaveResult saved = files.saveAllPresets(argv[2]);
        if (!saved.ok()) {
            std::cerr << saved.message() << '\n';
            return 1;
        }
    } catch (const TableError& e) {
        std::cerr << argv[1] << ":" << e.line << ": " << e.message << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
