// The .NTS description reader, through the file the loaders read. A file it
// refuses changes the loaded presets not at all or clears them all, and no
// other preset; descriptions it takes write back and read back unchanged.
#include "fuzz/fuzz_support.h"
#include "midi/midi_smf.h"
#include "storage/preset_files.h"
#include "storage/side_files.h"

#include <array>
#include <vector>

using namespace kestrow;

namespace {

int wrap(int index) { return index % kPresetCount; }

/// Loads n descriptions from start into a bank whose descriptions are all
/// set, and checks what changed; true when the file was taken.
bool loadInto(PresetFiles& files, PresetBank& bank, const std::string& path, int n, int start)
{
    static const auto before = [] {
        std::array<std::string, kPresetCount> texts;
        for (std::size_t p = 0; p < kPresetCount; ++p)
            texts[p] = "before " + std::to_string(p);
        return texts;
    }();
    for (std::size_t p = 0; p < kPresetCount; ++p)
        bank.presets[p].description = before[p];
    const bool loaded = files.loadDescriptions(path, n, start);
    int unchanged = 0;
    int cleared = 0;
    for (int p = 0; p < kPresetCount; ++p) {
        const std::string& text = bank.presets[static_cast<std::size_t>(p)].description;
        const bool same = text == before[static_cast<std::size_t>(p)];
        if (wrap(p - start + kPresetCount) >= n) {
            fuzz::check(same, "nts: a preset outside the loaded ones changed");
        } else {
            unchanged += same;
            cleared += text.empty();
        }
    }
    fuzz::check(
        loaded || unchanged == n || cleared == n, "nts: a refused file changed some presets");
    return loaded;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TMidiSMF smf; // descriptions never touch the dump
    static PresetBank bank;
    static const DeviceVariant variant = DeviceVariant::zembraControl;
    static PresetFiles files(bank, smf, variant);
    static PresetBank reread;
    static PresetFiles readBack(reread, smf, variant);
    const std::string path = fuzz::scratchFolder() / "Set.NTS";
    const std::string saved = fuzz::scratchFolder() / "Saved.NTS";
    fuzz::writeFile(path, std::span(data, size));

    const int target = static_cast<int>(size % kPresetCount);
    loadInto(files, bank, path, 1, target);
    loadInto(files, bank, path, 4, kPresetCount - 2);
    if (!loadInto(files, bank, path, kPresetCount, 0))
        return 0;
    maskAllPresets(bank);
    std::vector<const std::string*> texts;
    for (const Preset& preset : bank.presets)
        texts.push_back(&preset.description);
    const std::string encoded = encodeDescriptions(texts);
    fuzz::writeFile(saved, std::string_view(encoded));
    readBack.loadDescriptions(saved, kPresetCount, 0);
    for (std::size_t p = 0; p < kPresetCount; ++p)
        fuzz::check(reread.presets[p].description == bank.presets[p].description,
            "nts: descriptions saved and read back differ");
    return 0;
}
