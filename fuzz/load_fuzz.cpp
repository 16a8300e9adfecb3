// The whole file-load path: a .MID dump with its .CFG and .NTS side files,
// read from a folder in memory by the editor's load commands. A refused set
// changes nothing; a loaded one changes no preset outside those it loads.
//
// Input: a command byte (bits 0-1 the command, bit 2 no .CFG, bit 3 no .NTS,
// bits 4-7 the target preset), the .MID and the .CFG each as a 16-bit
// little-endian length and bytes, then the .NTS.
#include "fuzz/fuzz_support.h"
#include "midi/midi_driver.h"
#include "midi/midi_smf.h"
#include "storage/preset_files.h"

using namespace kestrow;

namespace {

void place(const std::filesystem::path& path, std::span<const std::uint8_t> bytes, bool present)
{
    std::error_code ec;
    if (present)
        fuzz::writeFile(path, bytes);
    else
        std::filesystem::remove(path, ec);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Never unloaded: libjack, which the driver library brings in, frees
    // nothing of what it allocates when it is unloaded.
    static TMidiDriver* const driver = new TMidiDriver;
    static TMidiSMF smf(driver);
    static const PresetBank fresh;
    static PresetBank bank;
    static const DeviceVariant variant = DeviceVariant::zembraControl;
    static PresetFiles files(bank, smf, variant);
    if (size == 0)
        return 0;
    const std::uint8_t command = data[0];
    auto input = std::span(data + 1, size - 1);
    const auto mid = fuzz::takeChunk(input);
    const auto cfg = fuzz::takeChunk(input);
    const std::filesystem::path& folder = fuzz::scratchFolder();
    place(folder / "Config.MID", mid, true);
    place(folder / "Config.CFG", cfg, (command & 4) == 0);
    place(folder / "Config.nts", input, (command & 8) == 0);

    const std::string path = folder / "Config.MID";
    const int target = (command >> 4) * 9 % kPresetCount;
    const int load = command & 3; // all, single, banks, autosave set
    const int first = load == 1 || load == 2 ? target : 0;
    const int count = load == 1 ? 1 : load == 2 ? 4 : kPresetCount;
    const bool loaded = load == 0 ? files.loadAllPresets(path).loaded
        : load == 1               ? files.loadSinglePreset(path, target).loaded
        : load == 2               ? files.loadBanks(path, target).loaded
                                  : files.loadAutosaveSet(folder.string() + "/").has_value();
    for (int p = 0; p < kPresetCount; ++p) {
        const auto i = static_cast<std::size_t>(p);
        const bool inRange = (p - first + kPresetCount) % kPresetCount < count;
        const bool unchanged = bank.presets[i] == fresh.presets[i];
        fuzz::check((loaded && inRange) || unchanged,
            loaded ? "load: a preset outside the loaded ones changed"
                   : "load: a refused set changed presets");
        // Only the presets a load changed are set back for the next input.
        if (!unchanged)
            bank.presets[i] = fresh.presets[i];
    }
    return 0;
}
