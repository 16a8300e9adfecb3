#include "storage/preset_files.h"

#include "platform/ini/ini_file.h"
#include "protocol/dump_frame.h"
#include "storage/dump_scan.h"
#include "storage/set_writer.h"
#include "storage/side_files.h"

#include <algorithm>
#include <array>
#include <span>

namespace kestrow {

namespace {

    constexpr const char* kKnobNameFile = "knob-name file";
    constexpr const char* kDescriptionFile = "description file";

    /// The keys of a preset's section: "N" for its name, "1".."16" for its knobs.
    const std::array<std::string_view, kKnobCount + 1>& presetKeys()
    {
        static const std::array<std::string, kKnobCount> numbers = [] {
            std::array<std::string, kKnobCount> n;
            for (int k = 0; k < kKnobCount; ++k)
                n[static_cast<std::size_t>(k)] = std::to_string(k + 1);
            return n;
        }();
        static const std::array<std::string_view, kKnobCount + 1> keys = [] {
            std::array<std::string_view, kKnobCount + 1> k { "N" };
            std::copy(numbers.begin(), numbers.end(), k.begin() + 1);
            return k;
        }();
        return keys;
    }

    void applyKnobNames(const IniFile& file, int section, Preset& preset, int defaultNumber)
    {
        static const std::array<std::string, kKnobCount> defaultKnobNames = [] {
            std::array<std::string, kKnobCount> n;
            for (std::size_t k = 0; k < n.size(); ++k)
                n[k] = "Knob " + std::to_string(k + 1);
            return n;
        }();
        auto found = file.values(std::to_string(section), presetKeys());
        preset.name = found[0] ? std::move(*found[0]) : "Preset " + std::to_string(defaultNumber);
        for (std::size_t k = 0; k < preset.knobName.size(); ++k) {
            auto& value = found[k + 1];
            preset.knobName[k] = value ? std::move(*value) : defaultKnobNames[k];
        }
    }

    /// A preset's names as the keys and values of its section.
    std::array<std::pair<std::string_view, std::string_view>, kKnobCount + 1> presetEntries(
        const Preset& preset)
    {
        std::array<std::pair<std::string_view, std::string_view>, kKnobCount + 1> entries;
        entries[0] = { presetKeys()[0], preset.name };
        for (std::size_t k = 0; k < preset.knobName.size(); ++k)
            entries[k + 1] = { presetKeys()[k + 1], preset.knobName[k] };
        return entries;
    }

    /// The names of a load: all 128 (target -1), one preset, or a run of n from target.
    void applyNames(const IniFile& file, PresetSet& presets, int target, int runLength)
    {
        if (runLength > 0) {
            for (int i = 1; i <= runLength; ++i)
                applyKnobNames(
                    file, i, presets[static_cast<std::size_t>(wrapPresetIndex(target + i - 1))], i);
        } else if (target >= 0) {
            const int t = wrapPresetIndex(target);
            applyKnobNames(file, 1, presets[static_cast<std::size_t>(t)], t + 1);
        } else {
            for (int i = 1; i <= kPresetCount; ++i)
                applyKnobNames(file, i, presets[static_cast<std::size_t>(i - 1)], i);
        }
    }

    void applyDescriptions(const DescriptionRecords& records, PresetSet& presets, int n, int start)
    {
        if (records.outcome == DescriptionRecords::Outcome::keep)
            return;
        for (int i = 0; i < n; ++i) {
            std::string& description
                = presets[static_cast<std::size_t>(wrapPresetIndex(start + i))].description;
            if (records.outcome == DescriptionRecords::Outcome::texts)
                description = records.texts[static_cast<std::size_t>(i)];
            else
                description.clear();
        }
    }

    /// The knob names of a side file; nothing when it exists but cannot be used.
    std::optional<IniFile> readKnobNames(const std::filesystem::path& path, std::string& problem)
    {
        SideFileRead read = readSideFile(path, kMaxKnobNameFileSize, kKnobNameFile);
        if (read.status == SideFileRead::Status::refused) {
            problem = path.string() + ": " + read.reason;
            return std::nullopt;
        }
        return read.status == SideFileRead::Status::read ? IniFile::adoptText(std::move(read.bytes))
                                                         : IniFile();
    }

    std::optional<DescriptionRecords> readDescriptions(
        const std::filesystem::path& path, int n, std::string& problem)
    {
        const SideFileRead read = readSideFile(path, kMaxDescriptionFileSize, kDescriptionFile);
        if (read.status == SideFileRead::Status::refused) {
            problem = path.string() + ": " + read.reason;
            return std::nullopt;
        }
        return read.status == SideFileRead::Status::read ? decodeDescriptions(read.bytes, n)
                                                         : DescriptionRecords {};
    }

    std::string numberList(int start, const char* separator)
    {
        std::string out;
        for (int i = 0; i < 4; ++i) {
            if (i > 0)
                out += separator;
            out += std::to_string(wrapPresetIndex(start + i) + 1);
        }
        return out;
    }

} // namespace

std::string tooMuchSysEx(const std::string& path, std::uintmax_t size, std::uintmax_t limit)
{
    return path + " is not a preset file: " + std::to_string(size) + " bytes of SysEx, at most "
        + std::to_string(limit);
}

std::string SaveResult::message() const
{
    std::string out;
    for (const FileResult& p : problems) {
        if (!out.empty())
            out += '\n';
        out += p.file + ": " + p.reason;
    }
    return out;
}

/// A set read and checked whole, waiting to be applied.
struct PresetFiles::StagedSet {
    DumpScan scan;
    std::vector<DumpAssignment> assignments;
    IniFile names;
    DescriptionRecords descriptions;
};

PresetFiles::PresetFiles(PresetBank& bank, TMidiSMF& smf, const DeviceVariant& deviceVariant)
    : variant(deviceVariant)
    , dumpBytes(kDumpCapacity, 0)
    , m_bank(bank)
    , m_smf(smf)
{
}

std::vector<int> PresetFiles::storedPresets() const
{
    std::vector<int> stored;
    for (int p = 0; p < kPresetCount; ++p) {
        if (m_bank.presetMask[p] == 1)
            stored.push_back(p);
    }
    return stored;
}

// --- Dump decoding -----------------------------------------------------------

int PresetFiles::parseDumpMessage(int i, int target)
{
    if (i < 0 || i >= m_dumpLimit)
        return -1;
    // At most the longest message, and never past the bytes that were read.
    std::array<std::uint8_t, dump::kPresetDataLength> window {};
    const int available = std::min(dump::kPresetDataLength, m_dumpLimit - i);
    for (int k = 0; k < available; ++k)
        window[static_cast<std::size_t>(k)]
            = static_cast<std::uint8_t>(dumpBytes[static_cast<std::size_t>(i + k)] & 0xFF);
    const DecodedFrame decoded = decodeFrame(
        std::span(window).first(static_cast<std::size_t>(available)), FrameBounds::stream);
    if (decoded.kind != FrameKind::presetData && decoded.kind != FrameKind::initValues)
        return -1;
    // Preset data takes the trailer after it along; the trailer is not examined.
    const int consumed
        = decoded.length + (decoded.kind == FrameKind::presetData ? dump::kBareLength : 0);
    const int q = target == -1 ? decoded.frame.firstParam : target;
    // A damaged file can name a preset that does not exist; step over it.
    if (q >= 0 && q < kPresetCount)
        storeFrame(decoded, m_bank.presets[static_cast<std::size_t>(q)]);
    return consumed;
}

namespace {

    DumpScan scanDumpBytes(const std::vector<std::int32_t>& dumpBytes, int count)
    {
        std::vector<std::uint8_t> bytes(
            static_cast<std::size_t>(std::clamp(count, 0, kDumpCapacity)));
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(dumpBytes[i] & 0xFF);
        return scanDump(bytes);
    }

} // namespace

void PresetFiles::applyDump(int count, int target)
{
    m_dumpLimit = std::clamp(count, 0, kDumpCapacity);
    const DumpScan scan = scanDumpBytes(dumpBytes, m_dumpLimit);
    applyDumpAssignments(scan, assignDump(scan, target), m_bank.presets);
}

void PresetFiles::applyDumpToRun(int count, int start, int n)
{
    m_dumpLimit = std::clamp(count, 0, kDumpCapacity);
    const DumpScan scan = scanDumpBytes(dumpBytes, m_dumpLimit);
    applyDumpAssignments(scan, assignDumpToRun(scan, start, n), m_bank.presets);
}

// --- Side files --------------------------------------------------------------

void PresetFiles::loadKnobNames(const std::string& path)
{
    std::string problem;
    if (const auto file = readKnobNames(sideFile(path), problem))
        applyNames(*file, m_bank.presets, -1, 0);
}

void PresetFiles::loadKnobNames(const std::string& path, int target)
{
    std::string problem;
    if (const auto file = readKnobNames(sideFile(path), problem))
        applyNames(*file, m_bank.presets, wrapPresetIndex(target), 0);
}

void PresetFiles::loadKnobNames(const std::string& path, int start, int n)
{
    std::string problem;
    if (const auto file = readKnobNames(sideFile(path), problem))
        applyNames(*file, m_bank.presets, start, n);
}

bool PresetFiles::loadDescriptions(const std::string& path, int n, int start)
{
    std::string problem;
    const auto records = readDescriptions(sideFile(path), n, problem);
    if (!records)
        return false;
    applyDescriptions(*records, m_bank.presets, n, start);
    return records->outcome == DescriptionRecords::Outcome::texts;
}

std::optional<std::string> PresetFiles::knobNamesText(
    const std::filesystem::path& path, const EditorSettings* settings, FileResult& problem) const
{
    // The previous file moves to its backup unless an earlier backup holds
    // that name; only then are its other sections and keys kept, as the
    // file functions would do when writing into it.
    IniFile file;
    std::error_code ec;
    if (std::filesystem::exists(backupPathOf(path), ec)) {
        SideFileRead old = readSideFile(path, kMaxKnobNameFileSize, kKnobNameFile);
        if (old.status == SideFileRead::Status::refused) {
            problem = FileResult::failure(path, "cannot be updated: " + old.reason);
            return std::nullopt;
        }
        if (old.status == SideFileRead::Status::read)
            file = IniFile::adoptText(std::move(old.bytes));
    }
    int s = 1;
    for (int p : storedPresets()) {
        const Preset& preset = m_bank.presets[static_cast<std::size_t>(p)];
        file.writeStrings(std::to_string(s++), presetEntries(preset));
    }
    if (settings != nullptr)
        writeSettings(file, *settings);
    std::string text = file.text();
    if (text.size() > kMaxKnobNameFileSize) {
        // Written, it could not be read back.
        problem = FileResult::failure(path,
            std::to_string(text.size()) + " bytes, more than a " + kKnobNameFile
                + " may hold (at most " + std::to_string(kMaxKnobNameFileSize) + ")");
        return std::nullopt;
    }
    return text;
}

// --- Save and load -------------------------------------------------------------

SaveResult PresetFiles::savePresetFiles(const std::string& path, const std::string& trackName)
{
    return saveSet(path, trackName, nullptr);
}

SaveResult PresetFiles::saveSet(const std::string& path, const std::string& trackName,
    const EditorSettings* settings, const std::vector<ExtraSetFile>& extras)
{
    SaveResult result;
    if (!hasMidExtension(path)) {
        result.problems.push_back(
            FileResult::failure(path, "the name does not end in \".MID\"; nothing was saved"));
        return result;
    }
    const std::string base = baseNameOf(path);
    // A side file that exists under another letter case is the same file to
    // the loaders; write that one rather than a second beside it.
    const std::filesystem::path namesPath = sideFile(base + ".CFG");
    const std::filesystem::path notesPath = sideFile(base + ".NTS");
    const auto fail = [&result](FileResult problem) {
        result.problems.push_back(std::move(problem));
        return result;
    };

    SetWriter writer(path);
    if (!writer.readiness())
        return fail(writer.readiness());
    FileResult staged;
    const auto dumpTemp = writer.stageFile(path, staged);
    if (dumpTemp)
        staged = writeDumpFile(*dumpTemp, path, trackName);
    if (!staged)
        return fail(std::move(staged));

    const auto names = knobNamesText(namesPath, settings, staged);
    if (!names)
        return fail(std::move(staged));
    staged = writer.stageBytes(namesPath, *names);
    if (!staged)
        return fail(std::move(staged));

    std::vector<const std::string*> descriptions;
    bool anyText = false;
    for (int p : storedPresets()) {
        descriptions.push_back(&m_bank.presets[static_cast<std::size_t>(p)].description);
        anyText = anyText || !descriptions.back()->empty();
    }
    if (anyText) {
        const std::string bytes = encodeDescriptions(descriptions);
        if (bytes.size() > kMaxDescriptionFileSize)
            return fail(FileResult::failure(notesPath,
                "the descriptions take " + std::to_string(bytes.size()) + " bytes, more than a "
                    + kDescriptionFile + " may hold (at most "
                    + std::to_string(kMaxDescriptionFileSize) + ")"));
        staged = writer.stageBytes(notesPath, bytes);
        if (!staged)
            return fail(std::move(staged));
    } else {
        // No file for this set; an old one must not pass for its descriptions.
        writer.retire(notesPath);
    }

    for (const ExtraSetFile& extra : extras) {
        staged = writer.stageBytes(sideFile(base + extra.extension), extra.bytes);
        if (!staged)
            return fail(std::move(staged));
    }

    FileResult committed = writer.commit();
    if (!committed)
        return fail(std::move(committed));
    result.wroteDump = result.wroteKnobNames = true;
    result.wroteDescriptions = anyText;
    return result;
}

std::optional<PresetFiles::StagedSet> PresetFiles::stageSet(
    const std::string& path, int target, int runLength)
{
    const std::string previousBase = lastFileBase;
    const auto refuse = [&](std::string reason) -> std::optional<StagedSet> {
        lastFileBase = previousBase;
        m_readError = std::move(reason);
        return std::nullopt;
    };
    // A set whose save was cut short is finished first: read now, it could
    // mix old files with new ones.
    if (hasInterruptedSave(path)) {
        const SaveRecovery recovered = recoverInterruptedSave(path);
        if (hasInterruptedSave(path))
            return refuse(path + ": an interrupted save of this set cannot be finished"
                + (recovered.problems.empty() ? "" : ": " + recovered.problems.front().reason)
                + "; check that the folder is writable and has free space, then load it again");
    }
    const int count = readDumpFile(path);
    if (count < 0)
        return refuse(m_readError);
    StagedSet set;
    set.scan = scanDumpBytes(dumpBytes, count);
    set.assignments = runLength > 0 ? assignDumpToRun(set.scan, target, runLength)
                                    : assignDump(set.scan, target);
    if (set.assignments.empty())
        return refuse(path + " holds no presets for this device");

    std::string problem;
    const std::filesystem::path namesPath = sideFile(lastFileBase + ".cfg");
    auto names = readKnobNames(namesPath, problem);
    if (!names && !m_keepAside)
        return refuse(problem);
    if (!names) {
        m_setAside.push_back(FileResult::failure(namesPath, problem));
        names.emplace(); // the default names
    }
    set.names = std::move(*names);
    const int n = runLength > 0 ? runLength : (target >= 0 ? 1 : kPresetCount);
    const std::filesystem::path descriptionsPath = sideFile(lastFileBase + ".NTS");
    auto descriptions = readDescriptions(descriptionsPath, n, problem);
    if (!descriptions && !m_keepAside)
        return refuse(problem);
    if (m_keepAside
        && (!descriptions || descriptions->outcome == DescriptionRecords::Outcome::keep)) {
        // A description file the save would replace with empty texts.
        m_setAside.push_back(FileResult::failure(descriptionsPath,
            descriptions ? descriptionsPath.string() + ": it is damaged or holds too few records"
                         : problem));
        descriptions.emplace();
    }
    set.descriptions = std::move(*descriptions);
    m_readError.clear();
    return set;
}

void PresetFiles::applySet(const StagedSet& set, int target, int runLength)
{
    applyDumpAssignments(set.scan, set.assignments, m_bank.presets);
    applyNames(set.names, m_bank.presets, target, runLength);
    const int n = runLength > 0 ? runLength : (target >= 0 ? 1 : kPresetCount);
    applyDescriptions(
        set.descriptions, m_bank.presets, n, target >= 0 ? wrapPresetIndex(target) : 0);
}

LoadResult PresetFiles::loadSet(const std::string& path, int target, int runLength)
{
    const auto set = stageSet(path, target, runLength);
    if (!set)
        return { false, m_readError, {} };
    applySet(*set, target, runLength);
    std::string passedOver = set->scan.skippedText();
    if (m_cutShort)
        passedOver += (passedOver.empty() ? "" : "; ")
            + std::string("the file is cut short: the presets it held after the cut are missing");
    return { true, {}, passedOver.empty() ? std::string() : path + ": " + passedOver };
}

LoadResult PresetFiles::loadAllPresets(const std::string& path) { return loadSet(path, -1, 0); }

LoadResult PresetFiles::loadSinglePreset(const std::string& path, int target)
{
    return loadSet(path, wrapPresetIndex(target), 0);
}

LoadResult PresetFiles::loadBanks(const std::string& path, int start)
{
    return loadSet(path, wrapPresetIndex(start), 4);
}

SaveResult PresetFiles::saveAllPresets(const std::string& path)
{
    maskAllPresets(m_bank);
    return savePresetFiles(path, saveAllPresetsText().defaultName);
}

SaveResult PresetFiles::saveSinglePreset(const std::string& path, int presetIndex)
{
    maskSinglePreset(m_bank, presetIndex);
    return savePresetFiles(path, saveSinglePresetText(m_bank, presetIndex).defaultName);
}

SaveResult PresetFiles::saveBanks(const std::string& path, int start)
{
    maskBanks(m_bank, start);
    return savePresetFiles(path, saveBanksText(start).defaultName);
}

bool PresetFiles::loadFactorySet(const std::string& programDirectory)
{
    const auto set = stageSet(programDirectory + "FactoryPresets.MID", -1, 0);
    if (!set)
        return false;
    applySet(*set, -1, 0);
    m_bank.factoryPresets = m_bank.presets;
    return true;
}

std::optional<EditorSettings> PresetFiles::loadAutosaveSet(const std::string& programDirectory)
{
    m_setAside.clear();
    m_keepAside = true;
    const auto set = stageSet(programDirectory + "Config.MID", -1, 0);
    m_keepAside = false;
    if (!set) {
        m_setAside.clear();
        return std::nullopt;
    }
    // Out of the close's way before anything is applied: the save would
    // replace them with this run's names and descriptions.
    for (FileResult& side : m_setAside) {
        if (const FileResult kept = keepAsDamaged(side.file); kept)
            side.reason += ". It is kept as " + damagedPathOf(side.file).string() + ".";
        else
            side.reason += ". It could not be kept aside (" + kept.reason
                + ") and will be replaced when the editor closes.";
    }
    applySet(*set, -1, 0);
    return readSettings(set->names);
}

SaveResult PresetFiles::saveAutosaveSet(const std::string& programDirectory,
    const EditorSettings& settings, const std::vector<ExtraSetFile>& extras)
{
    m_bank.presetMask.fill(1);
    return saveSet(programDirectory + "Config.MID", "Config", &settings, extras);
}

// --- Command texts -------------------------------------------------------------

SaveDialogText saveAllPresetsText() { return { "Save All Presets", "All Presets.MID" }; }

SaveDialogText saveSinglePresetText(const PresetBank& bank, int presetIndex)
{
    const int p = wrapPresetIndex(presetIndex);
    const std::string n = std::to_string(p + 1);
    const std::string& name = bank.presets[static_cast<std::size_t>(p)].name;
    // The name becomes part of a file name; a slash would make it a folder.
    std::string fileName = n + "_" + name + ".MID";
    for (char& c : fileName) {
        if (c == '/' || c == '\0')
            c = '_';
    }
    return { "Save Preset   " + n + ":" + name, fileName };
}

SaveDialogText saveBanksText(int start)
{
    return { "Save Presets   " + numberList(start, ","),
        "Presets " + numberList(start, "_") + ".MID" };
}

std::string loadAllPresetsTitle() { return "Load All Presets"; }

std::string loadSinglePresetTitle(int presetIndex)
{
    return "Load Preset " + std::to_string(wrapPresetIndex(presetIndex) + 1);
}

std::string loadBanksTitle(int start) { return "Load Presets " + numberList(start, ","); }

} // namespace kestrow
