// The INI reader with what the editor keeps in .CFG files, settings and knob
// names, through the side-file readers: any text makes a document that
// writes out stable, and settings and names written into it read back as
// they were.
#include "fuzz/fuzz_support.h"
#include "midi/midi_smf.h"
#include "platform/ini/ini_file.h"
#include "storage/editor_settings.h"
#include "storage/preset_files.h"

#include <array>

using namespace kestrow;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using fuzz::check;
    static TMidiSMF smf; // knob names never touch the dump
    static PresetBank bank;
    static const DeviceVariant variant = DeviceVariant::zembraControl;
    static PresetFiles files(bank, smf, variant);
    static PresetBank reread;
    static PresetFiles readBack(reread, smf, variant);
    const std::string path = fuzz::scratchFolder() / "Set.CFG";
    fuzz::writeFile(path, std::span(data, size));

    IniFile file = IniFile::fromText(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string once = file.text();
    check(IniFile::fromText(once).text() == once, "ini: the document does not write out stable");

    const EditorSettings settings = loadSettings(path);
    writeSettings(file, settings);
    check(readSettings(IniFile::fromText(file.text())) == settings,
        "ini: settings written do not read back");

    // Presets 1..last as Load All reads them (those after have no section and
    // keep the default names), written back as a save writes names into the
    // file it keeps, read back the same. Sections the text lacks get the
    // default names, which read back as such without being written: writing
    // them would cost 17 lines for every 5 bytes of input and test nothing new.
    int last = 0;
    for (int p = 1; p <= kPresetCount; ++p)
        last = file.hasSection(std::to_string(p)) ? p : last;
    files.loadKnobNames(path, 0, last);
    std::array<std::string, kKnobCount> numbers;
    for (int k = 0; k < kKnobCount; ++k)
        numbers[static_cast<std::size_t>(k)] = std::to_string(k + 1);
    for (int p = 1; p <= last; ++p) {
        const Preset& preset = bank.presets[static_cast<std::size_t>(p - 1)];
        std::array<std::pair<std::string_view, std::string_view>, kKnobCount + 1> entries;
        entries[0] = { "N", preset.name };
        for (std::size_t k = 0; k < numbers.size(); ++k)
            entries[k + 1] = { numbers[k], preset.knobName[k] };
        const std::string section = std::to_string(p);
        if (p > 1 && !file.hasSection(section))
            continue;
        if (p == 1) {
            // Written together, keys land as written one by one.
            IniFile single = file;
            for (const auto& [key, value] : entries)
                single.writeString(section, key, value);
            file.writeStrings(section, entries);
            check(single.text() == file.text(), "ini: keys written together land elsewhere");
        } else {
            file.writeStrings(section, entries);
        }
    }
    fuzz::writeFile(path, file.text());
    readBack.loadKnobNames(path, 0, last);
    for (std::size_t p = 0; p < static_cast<std::size_t>(last); ++p) {
        check(reread.presets[p].name == bank.presets[p].name
                && reread.presets[p].knobName == bank.presets[p].knobName,
            "ini: knob names written do not read back");
    }
    return 0;
}
