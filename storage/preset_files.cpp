#include "preset_files.h"

#include "dump_frame.h"
#include "ini_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <span>

namespace kestrow {

namespace {

constexpr const char* kNotesHeader = "zembraC Editor";
constexpr std::int32_t kNotesFormat = 1;

int wrapPreset(int index)
{
    return ((index % kPresetCount) + kPresetCount) % kPresetCount;
}

void appendInt32(std::string& out, std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((u >> shift) & 0xFF);
}

/// Reads little-endian 32-bit integers and byte runs from a file held in
/// memory; every read is checked against the end.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes)
        : m_bytes(bytes)
    {
    }
    std::optional<std::int32_t> int32()
    {
        if (m_bytes.size() - m_pos < 4)
            return std::nullopt;
        std::uint32_t u = 0;
        for (int i = 0; i < 4; ++i)
            u |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_bytes[m_pos + static_cast<std::size_t>(i)])) << (8 * i);
        m_pos += 4;
        return static_cast<std::int32_t>(u);
    }
    std::optional<std::string_view> bytes(std::int32_t length)
    {
        if (length < 0 || static_cast<std::size_t>(length) > m_bytes.size() - m_pos)
            return std::nullopt;
        const std::string_view out = m_bytes.substr(m_pos, static_cast<std::size_t>(length));
        m_pos += static_cast<std::size_t>(length);
        return out;
    }

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

void applyKnobNames(const IniFile& file, int section, Preset& preset, int defaultNumber)
{
    const std::string name = std::to_string(section);
    preset.name = file.readString(name, "N", "Preset " + std::to_string(defaultNumber));
    for (int k = 0; k < kKnobCount; ++k)
        preset.knobName[k] = file.readString(name, std::to_string(k + 1), "Knob " + std::to_string(k + 1));
}

/// A side file as the saver names it (".CFG", ".NTS"), whatever letter case
/// it is asked for in: an existing file of that name in any case, the
/// saver's own spelling first; else that spelling. Loaders and the saver
/// agree on the file even when two spellings lie side by side.
std::filesystem::path sideFile(const std::string& path)
{
    std::string wanted = path;
    const std::size_t dot = wanted.rfind('.');
    if (dot != std::string::npos && wanted.find('/', dot) == std::string::npos) {
        for (std::size_t i = dot; i < wanted.size(); ++i)
            wanted[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(wanted[i])));
    }
    return findIgnoringCase(wanted).value_or(std::filesystem::path(wanted));
}

IniFile loadSideFile(const std::string& path) { return IniFile::load(sideFile(path)); }

std::string numberList(int start, const char* separator)
{
    std::string out;
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            out += separator;
        out += std::to_string(wrapPreset(start + i) + 1);
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

PresetFiles::PresetFiles(PresetBank& bank, TMidiSMF& smf)
    : dumpBytes(kDumpCapacity, 0)
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

void PresetFiles::applyDump(int count, int target)
{
    m_dumpLimit = std::clamp(count, 0, kDumpCapacity);
    int position = 0;
    while (position < m_dumpLimit) {
        const int r = parseDumpMessage(position, target);
        if (r == -1)
            break;
        position += r;
    }
}

void PresetFiles::applyDumpToRun(int count, int start, int n)
{
    m_dumpLimit = std::clamp(count, 0, kDumpCapacity);
    int position = 0;
    int taken = 0;
    int q = wrapPreset(start);
    while (taken < n && position < m_dumpLimit) {
        const int r = parseDumpMessage(position, q);
        if (r == -1)
            break;
        position += r;
        if (r == 68) {
            ++taken;
            q = wrapPreset(q + 1);
        }
    }
}

// --- Knob names ------------------------------------------------------------

void PresetFiles::loadKnobNames(const std::string& path)
{
    const IniFile file = loadSideFile(path);
    for (int i = 1; i <= kPresetCount; ++i)
        applyKnobNames(file, i, m_bank.presets[static_cast<std::size_t>(i - 1)], i);
}

void PresetFiles::loadKnobNames(const std::string& path, int target)
{
    const IniFile file = loadSideFile(path);
    const int t = wrapPreset(target);
    applyKnobNames(file, 1, m_bank.presets[static_cast<std::size_t>(t)], t + 1);
}

void PresetFiles::loadKnobNames(const std::string& path, int start, int n)
{
    const IniFile file = loadSideFile(path);
    for (int i = 1; i <= n; ++i)
        applyKnobNames(file, i, m_bank.presets[static_cast<std::size_t>(wrapPreset(start + i - 1))], i);
}

FileResult PresetFiles::saveKnobNames(const std::string& path)
{
    // The previous file moves to its backup unless an earlier backup holds
    // that name; only then are its other sections and keys kept, as the
    // file functions would do when writing into it.
    std::error_code ec;
    const bool backupTaken = std::filesystem::exists(backupPathOf(path), ec);
    IniFile file;
    if (backupTaken) {
        file = IniFile::load(path);
        if (!file.readable() && std::filesystem::exists(path, ec))
            return FileResult::failure(path, "cannot read the file to update it");
    }
    int s = 1;
    for (int p : storedPresets()) {
        const Preset& preset = m_bank.presets[static_cast<std::size_t>(p)];
        const std::string section = std::to_string(s++);
        file.writeString(section, "N", preset.name);
        for (int k = 0; k < kKnobCount; ++k)
            file.writeString(section, std::to_string(k + 1), preset.knobName[k]);
    }
    return writeFileAtomically(path, file.text(), true);
}

// --- Descriptions ------------------------------------------------------------

DescriptionsSaved PresetFiles::saveDescriptions(const std::string& path)
{
    const std::vector<int> stored = storedPresets();
    bool anyText = false;
    for (int p : stored)
        anyText = anyText || !m_bank.presets[static_cast<std::size_t>(p)].description.empty();
    if (!anyText) {
        // No file for this set; an old one must not pass for its descriptions.
        return { false, retireFile(path) };
    }
    std::string bytes;
    appendInt32(bytes, kNotesFormat);
    appendInt32(bytes, static_cast<std::int32_t>(std::strlen(kNotesHeader)));
    bytes += kNotesHeader;
    appendInt32(bytes, static_cast<std::int32_t>(stored.size()));
    for (int p : stored) {
        const std::string& text = m_bank.presets[static_cast<std::size_t>(p)].description;
        appendInt32(bytes, static_cast<std::int32_t>(text.size()));
        bytes += text;
    }
    FileResult result = writeFileAtomically(path, bytes, true);
    const bool written = result.ok;
    return { written, std::move(result) };
}

bool PresetFiles::loadDescriptions(const std::string& path, int n, int start)
{
    const auto clearTargets = [this, n, start] {
        for (int i = 0; i < n; ++i)
            m_bank.presets[static_cast<std::size_t>(wrapPreset(start + i))].description.clear();
    };
    const auto content = readWholeFile(sideFile(path));
    if (!content) {
        clearTargets();
        return false;
    }
    ByteReader in(*content);
    const auto format = in.int32();
    const auto headerLength = format ? in.int32() : std::nullopt;
    const auto header = headerLength ? in.bytes(*headerLength) : std::nullopt;
    if (!header || *header != kNotesHeader) {
        clearTargets();
        return false;
    }
    const auto records = in.int32();
    if (!records || *records < n)
        return false;
    // Check every record before taking any: a damaged file changes nothing.
    std::vector<std::string_view> texts;
    // Every record takes at least its 4-byte length: a count beyond that is damage.
    if (static_cast<std::size_t>(*records) > content->size() / 4)
        return false;
    texts.reserve(static_cast<std::size_t>(*records));
    for (std::int32_t r = 0; r < *records; ++r) {
        const auto length = in.int32();
        const auto text = length ? in.bytes(*length) : std::nullopt;
        if (!text)
            return false;
        texts.push_back(*text);
    }
    for (int i = 0; i < n; ++i)
        m_bank.presets[static_cast<std::size_t>(wrapPreset(start + i))].description = std::string(texts[static_cast<std::size_t>(i)]);
    return true;
}

// --- Save and load -------------------------------------------------------------

SaveResult PresetFiles::savePresetFiles(const std::string& path, const std::string& trackName)
{
    SaveResult result;
    if (!hasMidExtension(path)) {
        result.problems.push_back(
            FileResult::failure(path, "the name does not end in \".MID\"; nothing was saved"));
        return result;
    }
    const std::string base = baseNameOf(path);

    FileResult dump = writeDumpFile(path, trackName);
    if (!dump) {
        // Side files without their dump would describe presets that are not there.
        result.problems.push_back(std::move(dump));
        return result;
    }
    result.wroteDump = true;

    // A side file that exists under another letter case is the same file to
    // the loaders; write that one rather than a second beside it.
    FileResult names = saveKnobNames(sideFile(base + ".CFG").string());
    result.wroteKnobNames = names.ok;
    if (!names)
        result.problems.push_back(std::move(names));

    DescriptionsSaved notes = saveDescriptions(sideFile(base + ".NTS").string());
    result.wroteDescriptions = notes.written;
    if (!notes.result)
        result.problems.push_back(std::move(notes.result));
    return result;
}

LoadResult PresetFiles::readForLoad(const std::string& path, int& count)
{
    count = readDumpFile(path);
    if (count > 0)
        return { true, {} };
    if (count == 0)
        return { false, path + ": the file holds no preset data" };
    return { false, m_readError };
}

LoadResult PresetFiles::loadAllPresets(const std::string& path)
{
    int count = 0;
    LoadResult result = readForLoad(path, count);
    if (!result)
        return result;
    applyDump(count, -1);
    loadKnobNames(lastFileBase + ".cfg");
    loadDescriptions(lastFileBase + ".NTS", kPresetCount, 0);
    return result;
}

LoadResult PresetFiles::loadSinglePreset(const std::string& path, int target)
{
    int count = 0;
    LoadResult result = readForLoad(path, count);
    if (!result)
        return result;
    applyDump(count, target);
    loadKnobNames(lastFileBase + ".cfg", target);
    loadDescriptions(lastFileBase + ".NTS", 1, target);
    return result;
}

LoadResult PresetFiles::loadBanks(const std::string& path, int start)
{
    int count = 0;
    LoadResult result = readForLoad(path, count);
    if (!result)
        return result;
    applyDumpToRun(count, start, 4);
    loadKnobNames(lastFileBase + ".cfg", start, 4);
    loadDescriptions(lastFileBase + ".NTS", 4, start);
    return result;
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
    const int count = readDumpFile(programDirectory + "FactoryPresets.MID");
    if (count <= 0)
        return false;
    applyDump(count, -1);
    loadKnobNames(programDirectory + "FactoryPresets.CFG");
    loadDescriptions(programDirectory + "FactoryPresets.NTS", kPresetCount, 0);
    m_bank.factoryPresets = m_bank.presets;
    return true;
}

std::optional<EditorSettings> PresetFiles::loadAutosaveSet(const std::string& programDirectory)
{
    const int count = readDumpFile(programDirectory + "Config.MID");
    if (count <= 0)
        return std::nullopt;
    applyDump(count, -1);
    loadKnobNames(programDirectory + "Config.CFG");
    const auto settingsFile = findIgnoringCase(programDirectory + "Config.CFG");
    EditorSettings settings = settingsFile ? loadSettings(*settingsFile) : EditorSettings {};
    loadDescriptions(programDirectory + "Config.NTS", kPresetCount, 0);
    return settings;
}

SaveResult PresetFiles::saveAutosaveSet(const std::string& programDirectory,
                                        const EditorSettings& settings)
{
    m_bank.presetMask.fill(1);
    SaveResult result = savePresetFiles(programDirectory + "Config.MID", "Config");
    FileResult stored = kestrow::saveSettings(programDirectory + "Config.CFG", settings);
    if (!stored)
        result.problems.push_back(std::move(stored));
    return result;
}

// --- Command texts -------------------------------------------------------------

SaveDialogText saveAllPresetsText()
{
    return { "Save All Presets", "All Presets.MID" };
}

SaveDialogText saveSinglePresetText(const PresetBank& bank, int presetIndex)
{
    const int p = wrapPreset(presetIndex);
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
    return { "Save Presets   " + numberList(start, ","), "Presets " + numberList(start, "_") + ".MID" };
}

std::string loadAllPresetsTitle()
{
    return "Load All Presets";
}

std::string loadSinglePresetTitle(int presetIndex)
{
    return "Load Preset " + std::to_string(wrapPreset(presetIndex) + 1);
}

std::string loadBanksTitle(int start)
{
    return "Load Presets " + numberList(start, ",");
}

} // namespace kestrow
