#include "protocol/midi_monitor.h"

#include "protocol/dump_frame.h"

#include <cstdio>

namespace kestrow {

namespace {

    /// Trims and collapses runs of blanks: " 60:  C  4" -> "60: C 4".
    std::string compact(const std::string& text)
    {
        std::string out;
        for (char c : text) {
            if (c == ' ' && (out.empty() || out.back() == ' '))
                continue;
            out += c;
        }
        if (!out.empty() && out.back() == ' ')
            out.pop_back();
        return out;
    }

    std::string presetText(int preset) { return ", preset " + std::to_string(preset + 1); }

    std::string describeSysEx(std::span<const std::uint8_t> bytes)
    {
        if (bytes.empty() || bytes.back() != dump::kSysExEnd)
            return "SysEx, not ended (" + std::to_string(bytes.size()) + " bytes)";
        const DecodedFrame decoded = decodeFrame(bytes, FrameBounds::wholeMessage);
        const DumpFrame& f = decoded.frame;
        switch (decoded.kind) {
        case FrameKind::presetData:
            return "SysEx preset data" + presetText(f.firstParam);
        case FrameKind::initValues:
            return "SysEx init values" + presetText(f.firstParam);
        case FrameKind::trailer:
            return "SysEx preset trailer" + presetText(f.firstParam);
        case FrameKind::versionReply:
            return "SysEx version reply " + std::to_string(f.firstParam) + "."
                + std::to_string(f.secondParam);
        case FrameKind::configuration:
            return "SysEx thru settings / configuration, thru flags " + std::to_string(f.firstParam)
                + ", master channel " + std::to_string(f.secondParam + 1);
        case FrameKind::otherCommand:
            switch (f.command) {
            case dump::kPresetRequest:
                return "SysEx preset request" + presetText(f.firstParam);
            case dump::kInitValuesRequest:
                return "SysEx init values request" + presetText(f.firstParam);
            case dump::kVersionQuery:
                return "SysEx device query (version)";
            case dump::kConfigurationQuery:
                return "SysEx device query (configuration)";
            default: {
                char code[8];
                std::snprintf(code, sizeof code, "%02X", f.command);
                return std::string("SysEx command ") + code;
            }
            }
        case FrameKind::foreign:
            return "SysEx, another device";
        case FrameKind::malformed:
            break;
        }
        return "SysEx, damaged (" + std::to_string(bytes.size()) + " bytes)";
    }

    std::string systemName(std::uint8_t status)
    {
        switch (status) {
        case 0xF1:
            return "Time Code";
        case 0xF2:
            return "Song Position";
        case 0xF3:
            return "Song Select";
        case 0xF6:
            return "Tune Request";
        case 0xF7:
            return "SysEx end";
        case 0xF8:
            return "Clock";
        case 0xFA:
            return "Start";
        case 0xFB:
            return "Continue";
        case 0xFC:
            return "Stop";
        case 0xFE:
            return "Active Sensing";
        case 0xFF:
            return "Reset";
        default:
            return "Undefined";
        }
    }

    bool realtime(std::uint8_t status) { return status >= 0xF8; }

} // namespace

std::string hexBytes(std::span<const std::uint8_t> bytes, std::size_t limit)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == limit)
            return out + " ...";
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        if (!out.empty())
            out += ' ';
        out += pair;
    }
    return out;
}

std::string describeMessage(const Catalogue& catalogue, std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return {};
    const std::uint8_t status = bytes[0];
    if (status == dump::kSysExStart)
        return describeSysEx(bytes);
    if (status >= 0xF0)
        return systemName(status);
    if (status < 0x80)
        return "Data without status";
    const int d1 = bytes.size() > 1 ? bytes[1] & 0x7F : 0;
    const int d2 = bytes.size() > 2 ? bytes[2] & 0x7F : 0;
    const auto name = [&catalogue](int code) {
        return catalogue.eventTypeNames[static_cast<std::size_t>(code)];
    };
    const auto d = [](int value) { return " " + std::to_string(value); };
    std::string text = "Ch " + std::to_string((status & 0x0F) + 1) + " ";
    switch (status & 0xF0) {
    case 0x80:
        return text + name(6) + " " + compact(catalogue.noteName(d1)) + d(d2);
    case 0x90:
        return text + name(5) + " " + compact(catalogue.noteName(d1)) + d(d2);
    case 0xA0:
        return text + name(4) + " " + compact(catalogue.noteName(d1)) + d(d2);
    case 0xB0:
        return text + name(0) + " "
            + compact(catalogue.controllerNames[static_cast<std::size_t>(d1)]) + d(d2);
    case 0xC0:
        return text + name(3) + d(d1) + " (preset " + std::to_string(d1 + 1) + ")";
    case 0xD0:
        return text + name(2) + d(d1);
    default:
        return text + name(1) + d(d1 | (d2 << 7));
    }
}

std::vector<std::uint8_t> eventBytes(const MidiEvent& event)
{
    const std::uint8_t s = event.status;
    const int kind = s & 0xF0;
    if (kind == 0xC0 || kind == 0xD0 || s == 0xF1 || s == 0xF3)
        return { s, event.data1 };
    if (s < 0xF0 || s == 0xF2)
        return { s, event.data1, event.data2 };
    return { s };
}

MidiMonitorLog::MidiMonitorLog(const Catalogue& catalogue, std::size_t cap)
    : m_catalogue(catalogue)
    , m_cap(cap == 0 ? 1 : cap)
{
}

void MidiMonitorLog::addMessage(std::uint32_t milliseconds, MidiDirection direction,
    const std::string& port, std::span<const std::uint8_t> bytes, bool delivered)
{
    if (m_lines.size() == m_cap)
        m_lines.pop_front();
    m_lines.push_back({ m_next++, milliseconds, direction, port,
        std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
        describeMessage(m_catalogue, bytes) + (delivered ? "" : " (not sent)") });
}

void MidiMonitorLog::addIncoming(
    std::uint32_t milliseconds, const std::string& port, const MidiEvent& event)
{
    if (event.status == dump::kSysExStart) {
        if (event.data1 == dump::kSysExStart)
            flushSysEx();
        if (m_sysEx.empty()) {
            m_sysExTime = milliseconds;
            m_sysExPort = port;
        }
        m_sysEx.push_back(event.data1);
        if (event.data1 == dump::kSysExEnd || m_sysEx.size() >= kMonitorSysExLimit)
            flushSysEx();
        return;
    }
    if (!realtime(event.status))
        flushSysEx();
    const std::vector<std::uint8_t> bytes = eventBytes(event);
    addMessage(milliseconds, MidiDirection::in, port, bytes);
}

void MidiMonitorLog::flushSysEx()
{
    if (m_sysEx.empty())
        return;
    addMessage(m_sysExTime, MidiDirection::in, m_sysExPort, m_sysEx);
    if (m_sysEx.front() != dump::kSysExStart) // the rest of an over-long message
        m_lines.back().text = "SysEx, continued (" + std::to_string(m_sysEx.size()) + " bytes)";
    m_sysEx.clear();
}

void MidiMonitorLog::clear()
{
    m_lines.clear();
    m_sysEx.clear();
}

std::string MidiMonitorLog::lineText(const MonitorLine& line)
{
    char time[24];
    std::snprintf(time, sizeof time, "%u.%03u", line.milliseconds / 1000, line.milliseconds % 1000);
    return std::string(time) + "\t" + (line.direction == MidiDirection::in ? "In" : "Out") + "\t"
        + line.port + "\t" + line.text + "\t" + hexBytes(line.bytes);
}

} // namespace kestrow
