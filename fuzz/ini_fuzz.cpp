// The INI reader with what the editor keeps in .CFG files, settings and knob
// names, through the side-file readers: any text makes a document that
// writes out stable, and settings and names written into it read back as
// they were.
#include "editor_settings.h"
#include "fuzz_support.h"
#include "ini_file.h"
#include "midi_smf.h"
#include "preset_files.h"

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
    // file it keeps, read back the same.
    int last = 0;
    for (int p = 1; p <= kPresetCount; ++p)
        last = file.hasSection(std::to_string(p)) ? p : last;
    files.loadKnobNames(path, 0, last);
    for (int p = 1; p <= last; ++p) {
        const std::string section = std::to_string(p);
        const Preset& preset = bank.presets[static_cast<std::size_t>(p - 1)];
        file.writeString(section, "N", preset.name);
        for (int k = 0; k < kKnobCount; ++k)
            file.writeString(
                section, std::to_string(k + 1), preset.knobName[static_cast<std::size_t>(k)]);
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
