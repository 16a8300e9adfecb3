#include "storage/sysex_file.h"

#include "protocol/dump_frame.h"
#include "storage/file_replace.h"
#include "storage/side_files.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <span>

namespace kestrow {

SysExRead readSysExFile(const std::string& path)
{
    SysExRead out;
    const SideFileRead read = readSideFile(path, kMaxSysExFileSize, "SysEx file");
    if (read.status == SideFileRead::Status::missing) {
        out.error = path + ": the file does not exist";
        return out;
    }
    if (read.status == SideFileRead::Status::refused) {
        out.error = path + ": " + read.reason;
        return out;
    }
    if (read.bytes.starts_with("MThd")) {
        out.error = path
            + " is a standard MIDI file, not raw SysEx: give it a name ending in .MID and load "
              "it as a preset file";
        return out;
    }
    const std::span<const std::uint8_t> bytes(
        reinterpret_cast<const std::uint8_t*>(read.bytes.data()), read.bytes.size());
    DumpScan scan = scanDump(bytes);
    if (!holdsPresets(scan)) {
        out.error = path + " holds no presets for this device";
        return out;
    }
    out.scan = std::move(scan);
    return out;
}

std::vector<DumpAssignment> assignImport(const DumpScan& scan, int target)
{
    std::set<int> named;
    for (const DecodedFrame& m : scan.messages) {
        if (m.kind == FrameKind::presetData || m.kind == FrameKind::initValues)
            named.insert(m.frame.firstParam);
    }
    return assignDump(scan, named.size() == 1 ? target : -1);
}

std::string encodeSysEx(
    const PresetSet& presets, const std::vector<int>& presetIndices, bool initValues)
{
    std::string out;
    const auto append = [&out](const DumpFrame& frame) {
        for (std::uint8_t b : frame.bytes())
            out += static_cast<char>(b);
    };
    for (int p : presetIndices) {
        if (p < 0 || p >= kPresetCount)
            continue;
        const Preset& preset = presets[static_cast<std::size_t>(p)];
        if (initValues)
            append(initValuesFrame(preset, p));
        append(presetDataFrame(preset, p));
        append(trailerFrame(p));
    }
    return out;
}

FileResult writeSysExFile(const std::string& path, const std::string& bytes)
{
    return writeFileAtomically(path, bytes, true);
}

} // namespace kestrow
