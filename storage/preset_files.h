#pragma once

#include "core/preset_bank.h"
#include "protocol/dump_encoder.h"
#include "storage/editor_settings.h"
#include "storage/file_replace.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

class TMidiSMF;

/// Entries of dumpBytes; a dump file with this many SysEx bytes or more is refused.
constexpr int kDumpCapacity = 12500;

/// Largest dump file read, in bytes: 128 presets with init values (12032
/// SysEx bytes) even with every byte an event of its own (at most 5 bytes
/// each), plus the headers and a track name. A larger file is refused from
/// its size, before anything of it is read.
constexpr std::uintmax_t kMaxDumpFileSize = 65536;

/// Why a file of `size` bytes is no preset file when at most `limit` are taken.
std::string tooMuchSysEx(const std::string& path, std::uintmax_t size, std::uintmax_t limit);

/// What a save wrote, and every file that failed with the reason.
struct [[nodiscard]] SaveResult {
    std::vector<FileResult> problems;
    bool wroteDump = false;
    bool wroteKnobNames = false;
    bool wroteDescriptions = false; ///< false also when every description was empty

    bool ok() const { return problems.empty(); }
    /// One line per failed file: "<file>: <reason>".
    std::string message() const;
};

/// A file of our own saved with a set, beside its .MID: base + extension.
struct ExtraSetFile {
    std::string extension; ///< ".DEV"
    std::string bytes;
};

/// Outcome of a load command.
struct [[nodiscard]] LoadResult {
    bool loaded = false; ///< false: nothing was changed
    std::string reason; ///< why not, for the user
    /// With loaded: what was passed over ("FILE: 1 message of other devices
    /// skipped"); empty when nothing was.
    std::string note;
    explicit operator bool() const { return loaded; }
};

/// Preset files of a working set: the .MID dump (through the toolkit's
/// TMidiSMF), the .CFG knob names and the .NTS descriptions. A set is read
/// and checked whole before any of it is applied, and written whole (see
/// SetWriter), each previous file kept once as ".BAK". Preset indices are
/// 0..127; file positions and section names 1-based.
class PresetFiles {
public:
    /// `variant` is the run's one device variant; it must outlive this.
    PresetFiles(PresetBank& bank, TMidiSMF& smf, const DeviceVariant& variant);

    /// The variant the dump is written for: only a zembraDial's carries init values.
    const DeviceVariant& variant;
    /// SysEx bytes of the last dump file read, one per entry.
    std::vector<std::int32_t> dumpBytes;
    /// Base name (path without ".MID") of the last dump file read successfully.
    std::string lastFileBase;

    // --- Files ----------------------------------------------------------
    /// Writes the presets whose presetMask entry is 1 as path (.MID), base
    /// ".CFG" and base ".NTS", as one set: on failure the previous set stays
    /// whole. A path without ".MID" writes and moves nothing.
    SaveResult savePresetFiles(const std::string& path, const std::string& trackName);
    /// Count of SysEx bytes read into dumpBytes, or -1 (see lastReadError()).
    int readDumpFile(const std::string& path);
    /// Entries of dumpBytes the last dump file read filled.
    int dumpCount() const { return m_dumpLimit; }
    /// Why the last read or load was refused, naming the file.
    const std::string& lastReadError() const { return m_readError; }

    /// Decodes dumpBytes[0, count): target -1 puts each message into the
    /// preset it names, any other target puts every message into that preset.
    /// Messages of other devices and damaged ones are stepped over.
    void applyDump(int count, int target);
    /// Decodes into n presets from start, wrapping from 127 to 0.
    void applyDumpToRun(int count, int start, int n);
    /// Bytes consumed by the message at position (68 for preset data with
    /// its trailer, 26 for init values) or -1 for anything else. A message
    /// naming a preset above 127 with target -1 is consumed but not applied.
    int parseDumpMessage(int position, int target);

    /// All 128 presets from sections "1".."128". A file that cannot be read
    /// or is larger than kMaxKnobNameFileSize changes nothing.
    void loadKnobNames(const std::string& path);
    /// Section "1" into preset target.
    void loadKnobNames(const std::string& path, int target);
    /// Sections "1".."n" into n presets from start, wrapping.
    void loadKnobNames(const std::string& path, int start, int n);

    /// Descriptions of n presets from start (wrapping). A missing file or a
    /// foreign header clears them; a file with too few records or damaged
    /// lengths, or one that cannot be read or is too large, leaves them
    /// unchanged. True on success.
    bool loadDescriptions(const std::string& path, int n, int start);

    // --- Commands ---------------------------------------------------------
    /// Each load reads the dump and its side files whole first. A file that
    /// cannot be read, holds no preset of this device or has a side file that
    /// cannot be read is refused with nothing changed; messages of other
    /// devices beside the presets are skipped and counted in the note.
    LoadResult loadAllPresets(const std::string& path);
    LoadResult loadSinglePreset(const std::string& path, int target);
    LoadResult loadBanks(const std::string& path, int start);

    SaveResult saveAllPresets(const std::string& path);
    SaveResult saveSinglePreset(const std::string& path, int presetIndex);
    SaveResult saveBanks(const std::string& path, int start);

    /// FactoryPresets.MID/.CFG/.NTS from programDirectory into presets; on
    /// success also copied into factoryPresets. False when unusable.
    bool loadFactorySet(const std::string& programDirectory);
    /// Config.MID/.CFG/.NTS with the settings of Config.CFG; nothing (and
    /// nothing changed, lastReadError() saying why when a file is there) when
    /// the set cannot be loaded, so the settings are not to be applied. A
    /// side file that cannot be taken does not cost the set: it is kept as
    /// its name + ".damaged", its defaults are used and setAsideFiles() says so.
    std::optional<EditorSettings> loadAutosaveSet(const std::string& programDirectory);
    /// The side files the last loadAutosaveSet kept aside, each with why.
    const std::vector<FileResult>& setAsideFiles() const { return m_setAside; }
    /// All 128 presets as Config.*, the settings in Config.CFG beside the
    /// names, and the extra files: each file written once, the set as a whole.
    SaveResult saveAutosaveSet(const std::string& programDirectory, const EditorSettings& settings,
        const std::vector<ExtraSetFile>& extras = {});

private:
    struct StagedSet;
    SaveResult saveSet(const std::string& path, const std::string& trackName,
        const EditorSettings* settings, const std::vector<ExtraSetFile>& extras = {});
    /// The dump of the stored set into temp; failures name path.
    FileResult writeDumpFile(
        const std::filesystem::path& temp, const std::string& path, const std::string& trackName);
    std::optional<std::string> knobNamesText(const std::filesystem::path& path,
        const EditorSettings* settings, FileResult& problem) const;
    std::vector<int> storedPresets() const;
    /// Reads and checks the set of path whole; target -1 (all), a preset, or
    /// with runLength > 0 a run from target. Nothing when refused (see m_readError).
    std::optional<StagedSet> stageSet(const std::string& path, int target, int runLength);
    void applySet(const StagedSet& set, int target, int runLength);
    LoadResult loadSet(const std::string& path, int target, int runLength);

    PresetBank& m_bank;
    TMidiSMF& m_smf;
    int m_dumpLimit = 0; ///< bytes of dumpBytes that parseDumpMessage may look at
    bool m_cutShort = false; ///< the last dump file read ends inside a chunk
    std::string m_readError;
    bool m_keepAside = false; ///< a bad side file is set aside, not a refusal
    std::vector<FileResult> m_setAside;
};

// --- Texts of the file commands --------------------------------------------

/// Title and default file name (also the track name) of a save dialog.
struct SaveDialogText {
    std::string title;
    std::string defaultName;
};

inline constexpr const char* kSaveFilter = "Midi File|*.MID";
inline constexpr const char* kLoadFilter = "Midi Files|*.MID";
inline constexpr const char* kDefaultExtension = "MID";

SaveDialogText saveAllPresetsText();
/// "Save Preset   n:name", "n_name.MID" (n 1-based).
SaveDialogText saveSinglePresetText(const PresetBank& bank, int presetIndex);
/// The four presets from start, wrapping from 128 to 1.
SaveDialogText saveBanksText(int start);
std::string loadAllPresetsTitle();
std::string loadSinglePresetTitle(int presetIndex);
std::string loadBanksTitle(int start);

} // namespace kestrow
