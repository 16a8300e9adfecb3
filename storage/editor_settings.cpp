#include "storage/editor_settings.h"

#include "platform/ini/ini_file.h"

#include <algorithm>

namespace kestrow {

namespace keys = settings_keys;

EditorSettings readSettings(const IniFile& file)
{
    const EditorSettings defaults;
    EditorSettings s;
    // Read in the order the window applies them.
    const std::int32_t device = file.readInteger(
        keys::kSection, keys::kDeviceType, static_cast<std::int32_t>(defaults.deviceType));
    // A hand-edited value outside the three variants would leave the window
    // without a caption or picture set; take the nearest variant.
    s.deviceType = static_cast<DeviceVariant>(std::clamp(device, 0, 2));
    s.optionsShowBankGroups = file.readBool(
        keys::kSection, keys::kOptionsShowBankGroups, defaults.optionsShowBankGroups);
    s.optionsFixed = file.readBool(keys::kSection, keys::kOptionsFixed, defaults.optionsFixed);
    s.autoSend = file.readBool(keys::kSection, keys::kAutoSend, defaults.autoSend);
    s.delay = file.readInteger(keys::kSection, keys::kDelay, defaults.delay);
    s.midiDevice = file.readString(keys::kSection, keys::kMidiDevice, defaults.midiDevice);
    s.midiNotesRange
        = file.readBool(keys::kSection, keys::kMidiNotesRange, defaults.midiNotesRange);
    s.midiInDevice = file.readString(keys::kSection, keys::kMidiInDevice, defaults.midiInDevice);
    s.selectedPreset = std::clamp(
        file.readInteger(keys::kSection, keys::kSelectedPreset, defaults.selectedPreset), 0,
        kPresetCount - 1);
    s.verifyAfterSend
        = file.readBool(keys::kSection, keys::kVerifyAfterSend, defaults.verifyAfterSend);
    for (int i = 1; i <= keys::kRecentFileCount; ++i) {
        // A key left empty by a shorter list is no entry.
        const std::string path = file.readString(keys::kRecentSection, std::to_string(i), "");
        if (!path.empty()
            && std::find(s.recentFiles.begin(), s.recentFiles.end(), path) == s.recentFiles.end())
            s.recentFiles.push_back(path);
    }
    s.presetFolder = file.readString(keys::kFolderSection, keys::kPresetFolder, "");
    s.sysExFolder = file.readString(keys::kFolderSection, keys::kSysExFolder, "");
    const int folders = std::clamp(file.readInteger(keys::kLibrarySection, keys::kLibraryCount, 0),
        0, keys::kLibraryFolderLimit);
    for (int i = 1; i <= folders; ++i) {
        const std::string path = file.readString(keys::kLibrarySection, std::to_string(i), "");
        if (!path.empty()
            && std::find(s.libraryFolders.begin(), s.libraryFolders.end(), path)
                == s.libraryFolders.end())
            s.libraryFolders.push_back(path);
    }
    return s;
}

EditorSettings loadSettings(const std::filesystem::path& path)
{
    return readSettings(IniFile::load(path));
}

void writeSettings(IniFile& file, const EditorSettings& s)
{
    // This order decides where new keys land in a file that lacks them.
    file.writeBool(keys::kSection, keys::kAutoSend, s.autoSend);
    file.writeInteger(keys::kSection, keys::kDelay, s.delay);
    file.writeString(keys::kSection, keys::kMidiDevice, s.midiDevice);
    file.writeInteger(keys::kSection, keys::kSelectedPreset, s.selectedPreset);
    file.writeBool(keys::kSection, keys::kMidiNotesRange, s.midiNotesRange);
    file.writeString(keys::kSection, keys::kMidiInDevice, s.midiInDevice);
    file.writeInteger(keys::kSection, keys::kDeviceType, static_cast<std::int32_t>(s.deviceType));
    file.writeBool(keys::kSection, keys::kOptionsShowBankGroups, s.optionsShowBankGroups);
    file.writeBool(keys::kSection, keys::kOptionsFixed, s.optionsFixed);
    // Only once it was ever changed: the file of a user who never did keeps
    // exactly the keys earlier versions wrote.
    if (!s.verifyAfterSend || file.value(keys::kSection, keys::kVerifyAfterSend))
        file.writeBool(keys::kSection, keys::kVerifyAfterSend, s.verifyAfterSend);
    // Every key is written, so a list that shrank leaves no stale entries.
    if (!s.recentFiles.empty() || file.hasSection(keys::kRecentSection)) {
        for (int i = 1; i <= keys::kRecentFileCount; ++i) {
            const auto at = static_cast<std::size_t>(i - 1);
            file.writeString(keys::kRecentSection, std::to_string(i),
                at < s.recentFiles.size() ? s.recentFiles[at] : std::string());
        }
    }
    if (!s.presetFolder.empty() || !s.sysExFolder.empty()
        || file.hasSection(keys::kFolderSection)) {
        file.writeString(keys::kFolderSection, keys::kPresetFolder, s.presetFolder);
        file.writeString(keys::kFolderSection, keys::kSysExFolder, s.sysExFolder);
    }
    if (!s.libraryFolders.empty() || file.hasSection(keys::kLibrarySection)) {
        file.writeInteger(keys::kLibrarySection, keys::kLibraryCount,
            static_cast<std::int32_t>(s.libraryFolders.size()));
        for (std::size_t i = 0; i < s.libraryFolders.size(); ++i)
            file.writeString(keys::kLibrarySection, std::to_string(i + 1), s.libraryFolders[i]);
    }
}

void addRecentFile(std::vector<std::string>& list, const std::string& path)
{
    list.erase(std::remove(list.begin(), list.end(), path), list.end());
    list.insert(list.begin(), path);
    if (list.size() > static_cast<std::size_t>(keys::kRecentFileCount))
        list.resize(static_cast<std::size_t>(keys::kRecentFileCount));
}

FileResult saveSettings(const std::filesystem::path& path, const EditorSettings& settings)
{
    IniFile file = IniFile::load(path);
    std::error_code ec;
    if (!file.readable() && std::filesystem::exists(path, ec))
        return FileResult::failure(path, "cannot read the file to update it");
    writeSettings(file, settings);
    return writeFileAtomically(path, file.text(), false);
}

int findPortByName(const std::vector<std::string>& portNames, std::string_view savedName)
{
    for (std::size_t i = 0; i < portNames.size(); ++i) {
        if (portNames[i] == savedName)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace kestrow
