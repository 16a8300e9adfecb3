#include "storage/dump_scan.h"

#include <algorithm>

namespace kestrow {

namespace {

    /// Where a message that cannot be read ends: after its F7, or before the next
    /// F0 when that comes first (a message cut short).
    std::size_t endOfUnreadable(std::span<const std::uint8_t> bytes, std::size_t start)
    {
        for (std::size_t i = start + 1; i < bytes.size(); ++i) {
            if (bytes[i] == dump::kSysExEnd)
                return i + 1;
            if (bytes[i] == dump::kSysExStart)
                return i;
        }
        return bytes.size();
    }

    bool isPresetMessage(const DecodedFrame& m)
    {
        return m.kind == FrameKind::presetData || m.kind == FrameKind::initValues;
    }

    std::string counted(int n, const char* what)
    {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    }

} // namespace

std::string DumpScan::skippedText() const
{
    std::string out;
    if (foreign > 0)
        out = counted(foreign, "message") + " of other devices";
    if (damaged > 0)
        out += (out.empty() ? "" : " and ") + counted(damaged, "damaged message");
    return out.empty() ? out : out + " skipped";
}

DumpScan scanDump(std::span<const std::uint8_t> bytes)
{
    DumpScan scan;
    std::size_t position = 0;
    while (position < bytes.size()) {
        if (bytes[position] != dump::kSysExStart) {
            ++scan.foreign; // bytes outside any message
            position = endOfUnreadable(bytes, position);
            continue;
        }
        DecodedFrame decoded = decodeFrame(bytes.subspan(position), FrameBounds::stream);
        switch (decoded.kind) {
        case FrameKind::presetData:
        case FrameKind::initValues:
        case FrameKind::trailer:
        case FrameKind::versionReply:
        case FrameKind::configuration:
            position += static_cast<std::size_t>(decoded.length);
            if (decoded.kind != FrameKind::versionReply && decoded.kind != FrameKind::configuration)
                scan.messages.push_back(std::move(decoded));
            break;
        case FrameKind::foreign:
            ++scan.foreign;
            position = endOfUnreadable(bytes, position);
            break;
        case FrameKind::otherCommand:
            // This device's, but not a message a dump holds.
            ++scan.foreign;
            position = endOfUnreadable(bytes, position);
            break;
        case FrameKind::malformed:
            ++scan.damaged;
            position = endOfUnreadable(bytes, position);
            break;
        }
    }
    return scan;
}

bool holdsPresets(const DumpScan& scan)
{
    return std::any_of(scan.messages.begin(), scan.messages.end(), isPresetMessage);
}

std::vector<DumpAssignment> assignDump(const DumpScan& scan, int target)
{
    std::vector<DumpAssignment> out;
    for (std::size_t m = 0; m < scan.messages.size(); ++m) {
        if (!isPresetMessage(scan.messages[m]))
            continue;
        const int q = target == -1 ? scan.messages[m].frame.firstParam : wrapPresetIndex(target);
        // A damaged file can name a preset that does not exist; step over it.
        if (q < kPresetCount)
            out.push_back({ m, q });
    }
    return out;
}

std::vector<DumpAssignment> assignDumpToRun(const DumpScan& scan, int start, int n)
{
    std::vector<DumpAssignment> out;
    int taken = 0;
    int q = wrapPresetIndex(start);
    for (std::size_t m = 0; m < scan.messages.size() && taken < n; ++m) {
        if (!isPresetMessage(scan.messages[m]))
            continue;
        out.push_back({ m, q });
        if (scan.messages[m].kind == FrameKind::presetData) {
            ++taken;
            q = wrapPresetIndex(q + 1);
        }
    }
    return out;
}

void applyDumpAssignments(
    const DumpScan& scan, const std::vector<DumpAssignment>& assignments, PresetSet& presets)
{
    for (const DumpAssignment& a : assignments)
        storeFrame(scan.messages[a.message], presets[static_cast<std::size_t>(a.preset)]);
}

} // namespace kestrow
