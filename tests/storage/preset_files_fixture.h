#pragma once

#include "midi_driver.h"
#include "midi_smf.h"
#include "preset_files.h"
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
    PresetFiles files { bank, smf };

    /// A second working set on the same files, as after a restart.
    struct Reader {
        TMidiSMF smf;
        PresetBank bank;
        PresetFiles files { bank, smf };
        explicit Reader(TMidiDriver& d)
            : smf(&d)
        {
        }
    };

    std::set<std::string> folderContents() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.insert(entry.path().filename().string());
        return names;
    }
};

/// A description file: format 1, the header, the record count, then the records.
inline std::string notesFile(std::int32_t headerLength, const std::string& header,
    std::int32_t records, const std::vector<std::pair<std::int32_t, std::string>>& entries)
{
    std::string out;
    const auto int32 = [&out](std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
    };
    int32(1);
    int32(headerLength);
    out += header;
    int32(records);
    for (const auto& [length, text] : entries) {
        int32(length);
        out += text;
    }
    return out;
}

} // namespace kestrow::test
