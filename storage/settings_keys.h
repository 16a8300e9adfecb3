#pragma once

// Section and keys of the editor settings in Config.CFG. The texts are what
// earlier versions wrote; files rely on them, so they never change.

#include "protocol/device_settings_model.h"

namespace kestrow::settings_keys {

inline constexpr const char* kSection = "Settings";

inline constexpr const char* kDeviceType = "Device Type";
inline constexpr const char* kOptionsShowBankGroups = "Options Show Bank Groups";
inline constexpr const char* kOptionsFixed = "Options Fixed";
inline constexpr const char* kAutoSend = "Auto Send";
inline constexpr const char* kDelay = "Delay";
inline constexpr const char* kMidiDevice = "Midi Device";
inline constexpr const char* kMidiNotesRange = "Midi Notes Range";
inline constexpr const char* kMidiInDevice = "Midi InDevice";
inline constexpr const char* kSelectedPreset = "Selected Preset";
/// Added later: earlier versions neither write nor read it.
inline constexpr const char* kVerifyAfterSend = "Verify After Send";

/// Recent preset files, keys "1".."8" newest first. Older versions ignore the section.
inline constexpr const char* kRecentSection = "Recent Files";
inline constexpr int kRecentFileCount = 8;

/// The folder each kind of file was last opened from or saved to, so the
/// file dialogs start there. Older versions ignore the section.
inline constexpr const char* kFolderSection = "Folders";
inline constexpr const char* kPresetFolder = "Preset Files";
inline constexpr const char* kSysExFolder = "SysEx Files";
/// Folders of the library, keys "1".."Count"; entries past Count are stale.
inline constexpr const char* kLibrarySection = "Library Folders";
inline constexpr const char* kLibraryCount = "Count";
inline constexpr int kLibraryFolderLimit = 100;

/// The port name that stands for "no port chosen": the port lists' last entry.
inline constexpr const char* kNoDevice = kNoDeviceEntry;

} // namespace kestrow::settings_keys
