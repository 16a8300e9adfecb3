// The librarian side of a session: .syx import and export, the load command
// a dropped or recent file stands for, the recent-file list, and comparing
// the working set with a file.

#include "core/bank_diff.h"
#include "editor/editor_session.h"
#include "storage/side_files.h"
#include "storage/sysex_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace kestrow {

LoadResult EditorSession::importSysEx(const std::string& path, int target)
{
    const SysExRead read = readSysExFile(path);
    if (!read.scan)
        return { false, read.error, {} };
    const std::vector<DumpAssignment> assignments
        = assignImport(*read.scan, std::clamp(target, 0, kPresetCount - 1));
    if (assignments.empty()) // only preset numbers above 128
        return { false, path + " holds no presets for this device", {} };
    EditHistory::Scope step = m_history.record("Import SysEx", assignments.front().preset);
    for (const DumpAssignment& a : assignments)
        step.preset(a.preset);
    applyDumpAssignments(*read.scan, assignments, m_bank.presets);
    step.commit();
    const std::string skipped = read.scan->skippedText();
    return { true, {}, skipped.empty() ? std::string() : path + ": " + skipped };
}

FileResult EditorSession::exportSysEx(const std::string& path, PresetRange range)
{
    std::vector<int> presets;
    const int selected = m_bank.selectedPreset;
    switch (range) {
    case PresetRange::all:
        for (int p = 0; p < kPresetCount; ++p)
            presets.push_back(p);
        break;
    case PresetRange::selected:
        presets.push_back(selected);
        break;
    case PresetRange::banks:
        // Ascending, as "Save Banks 1-4 As..." stores them.
        for (int i = 0; i < 4; ++i)
            presets.push_back(wrapPresetIndex(selected + i));
        std::sort(presets.begin(), presets.end());
        break;
    }
    return writeSysExFile(
        path, encodeSysEx(m_bank.presets, presets, variant() == DeviceVariant::zembraDial));
}

EditorSession::OpenAs EditorSession::openAsFor(const std::string& path, std::string& midPath)
{
    midPath = path;
    if (hasSysExExtension(path))
        return OpenAs::importSysEx;
    if (hasExtension(path, ".cfg") || hasExtension(path, ".nts"))
        midPath = sideFile(path.substr(0, path.size() - 4) + ".MID").string();
    if (!hasMidExtension(midPath) || !m_dumpFilesUnavailable.empty())
        return OpenAs::allPresets; // which refuses it with its own message
    const int count = m_files.readDumpFile(midPath);
    if (count <= 0)
        return OpenAs::allPresets;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(m_files.dumpBytes[i] & 0xFF);
    const DumpScan scan = scanDump(bytes);
    const auto presets = std::count_if(scan.messages.begin(), scan.messages.end(),
        [](const DecodedFrame& m) { return m.kind == FrameKind::presetData; });
    if (presets == 1)
        return OpenAs::singlePreset;
    if (presets == 4 && variant() == DeviceVariant::zembraDial)
        return OpenAs::banks;
    return OpenAs::allPresets;
}

void EditorSession::noteRecentFile(const std::string& path)
{
    addRecentFile(m_recentFiles, path);
    const std::filesystem::path file(path);
    if (file.has_parent_path())
        (hasSysExExtension(path) ? m_sysExFolder : m_presetFolder) = file.parent_path().string();
}

const std::string& EditorSession::lastFolder(FileKind kind) const
{
    return kind == FileKind::sysEx ? m_sysExFolder : m_presetFolder;
}

void EditorSession::forgetRecentFile(const std::string& path)
{
    m_recentFiles.erase(
        std::remove(m_recentFiles.begin(), m_recentFiles.end(), path), m_recentFiles.end());
}

std::optional<PresetSet> EditorSession::readComparisonSet(
    const std::string& path, std::string& error)
{
    if (hasSysExExtension(path)) {
        const SysExRead read = readSysExFile(path);
        if (!read.scan) {
            error = read.error;
            return std::nullopt;
        }
        PresetSet theirs = m_bank.presets;
        applyDumpAssignments(*read.scan, assignDump(*read.scan, -1), theirs);
        return theirs;
    }
    if (!m_dumpFilesUnavailable.empty()) {
        error = m_dumpFilesUnavailable;
        return std::nullopt;
    }
    // Fresh presets, so the comparison shows what loading the file would give.
    PresetBank scratch;
    PresetFiles files(scratch, m_smf, m_model.deviceVariant);
    const LoadResult loaded = files.loadAllPresets(path);
    if (!loaded) {
        error = loaded.reason;
        return std::nullopt;
    }
    return scratch.presets;
}

bool EditorSession::takeTheirPreset(const PresetSet& theirs, int presetIndex)
{
    EditHistory::Scope step = m_history.record("Take Theirs", presetIndex);
    step.preset(presetIndex);
    return takeTheirs(m_bank.presets, theirs, presetIndex);
}

} // namespace kestrow
