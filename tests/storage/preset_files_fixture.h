#pragma once

#include "midi/midi_driver.h"
#include "midi/midi_smf.h"
#include "storage/preset_files.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrow::test {

/// A working set with its preset files in a fresh folder.
class PresetFilesTest : public ::testing::Test {
protected:
    TempDir dir;
    TMidiDriver driver;
    TMidiSMF smf { &driver };
    PresetBank bank;
    DeviceVariant variant = DeviceVariant::zembraControl;
    PresetFiles files { bank, smf, variant };

    /// A second working set on the same files, as after a restart.
    struct Reader {
        explicit Reader(TMidiDriver& d)
            : smf(&d)
        {
        }
        TMidiSMF smf;
        PresetBank bank;
        DeviceVariant variant = DeviceVariant::zembraControl;
        PresetFiles files { bank, smf, variant };
    };
};

/// Distinct data in every field of every preset, so a preset landing in the
/// wrong place or a column shifted by one shows; no descriptions unless asked.
inline void fillBank(PresetBank& bank, int seed, bool descriptions = true)
{
    for (int p = 0; p < kPresetCount; ++p) {
        Preset& preset = bank.presets[static_cast<std::size_t>(p)];
        preset.name = "Caf\xE9 " + std::to_string(p + 1) + "/" + std::to_string(seed);
        preset.description = !descriptions || p % 3 == 0
            ? ""
            : "Line " + std::to_string(p) + "/" + std::to_string(seed) + "\r\nline \x80 two";
        for (int k = 0; k < kKnobCount; ++k) {
            preset.knobName[k] = "K" + std::to_string(k + 1) + "\x93" + std::to_string(seed);
            preset.channel[k] = (p + k + seed) % 17;
            preset.eventType[k] = (p * 3 + k + seed) % 128;
            preset.fixedParameter[k] = (p * 7 + k + seed) % 128;
            preset.initValue[k] = (p * 5 + k + seed) % 128;
        }
    }
}

/// A description file: format 1, a header, a record count (-1: as many as given), the records.
inline std::string notesFile(const std::vector<std::pair<std::int32_t, std::string>>& records,
    std::int32_t count = -1, const std::string& header = "zembraC Editor",
    std::int32_t headerLength = 14)
{
    std::string out;
    const auto int32 = [&out](std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
    };
    int32(1);
    int32(headerLength);
    out += header;
    int32(count == -1 ? static_cast<std::int32_t>(records.size()) : count);
    for (const auto& [length, text] : records) {
        int32(length);
        out += text;
    }
    return out;
}

} // namespace kestrow::test
