#pragma once

#include "core/preset_bank.h"
#include "storage/file_replace.h"
#include "storage/settings_keys.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

class IniFile;

/// The editor's own settings as stored in the "Settings" section. The
/// defaults are what a file without the key yields. (On a first run, with no
/// autosave set, the settings are not read at all and the controls keep their
/// own initial states, e.g. "&AutoSend" off.)
struct EditorSettings {
    DeviceVariant deviceType = DeviceVariant::zembraControl; ///< clamped to the three variants
    bool optionsShowBankGroups = true;
    bool optionsFixed = true; ///< "fi&xed" checked; "&variable" when false
    bool autoSend = true;
    std::int32_t delay = 200; ///< milliseconds
    std::string midiDevice = settings_keys::kNoDevice; ///< output port name, compared exactly
    bool midiNotesRange = false; ///< true: notes from "C -2"
    std::string midiInDevice = settings_keys::kNoDevice; ///< input port name, compared exactly
    std::int32_t selectedPreset = 0; ///< preset index 0..127, clamped
    bool verifyAfterSend = true; ///< read a single preset's send back too (with an input port)
    /// Preset files last opened or saved, newest first, at most kRecentFileCount.
    /// Kept in a section of their own, which versions without the list pass over.
    std::vector<std::string> recentFiles;
    /// Folders preset files (.MID) and .syx files were last used in; empty: none yet.
    std::string presetFolder;
    std::string sysExFolder;
    /// Folders whose preset files the library lists, in the order added.
    std::vector<std::string> libraryFolders;

    bool operator==(const EditorSettings&) const = default;
};

/// Reads the "Settings" section; a missing file, section, key or malformed
/// value gives the default of that setting.
EditorSettings loadSettings(const std::filesystem::path& path);
EditorSettings readSettings(const IniFile& file);

/// Writes the keys into the "Settings" section, keeping every other line
/// of the file; the file is replaced whole (no backup: the names were just
/// saved with theirs).
FileResult saveSettings(const std::filesystem::path& path, const EditorSettings& settings);
void writeSettings(IniFile& file, const EditorSettings& settings);

/// Puts path at the front of the list (moving it there if listed), keeping
/// at most kRecentFileCount entries.
void addRecentFile(std::vector<std::string>& list, const std::string& path);

/// Index of the first port whose name equals the saved one exactly (letter
/// case counts), or -1: a port that is gone leaves the choice at "no device".
int findPortByName(const std::vector<std::string>& portNames, std::string_view savedName);

} // namespace kestrow
