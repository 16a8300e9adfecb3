#pragma once

#include "core/catalogue.h"
#include "link/midi_event.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

namespace kestrow {

enum class MidiDirection { in, out };

/// Lines the monitor keeps; older ones go first.
constexpr std::size_t kMonitorLineCap = 5000;
/// A SysEx message longer than this is shown in parts.
constexpr std::size_t kMonitorSysExLimit = 4096;

/// One message as the monitor shows it.
struct MonitorLine {
    std::uint64_t sequence = 0; ///< 0 for the first line since the log was made
    std::uint32_t milliseconds = 0; ///< since the monitor was opened
    MidiDirection direction = MidiDirection::in;
    std::string port;
    std::vector<std::uint8_t> bytes;
    std::string text; ///< describeMessage of the bytes
};

/// The bytes of one whole message as hex pairs, e.g. "B0 07 64"; beyond
/// `limit` bytes the rest is shown as "...".
std::string hexBytes(std::span<const std::uint8_t> bytes, std::size_t limit = 64);

/// What a whole message is, in the catalogue's names: "Ch 1 Controller
/// 7:Volume 100", "Ch 2 NoteOn 60: C 4 90", "SysEx preset data, preset 12".
/// Any bytes give a text; nothing is assumed about their length.
std::string describeMessage(const Catalogue& catalogue, std::span<const std::uint8_t> bytes);

/// The bytes a single non-SysEx event carries (1 to 3, by its status).
std::vector<std::uint8_t> eventBytes(const MidiEvent& event);

/// The monitor's record of the traffic, at most `cap` lines. Outgoing
/// messages come whole; incoming SysEx comes a byte per event and is put
/// together here (realtime bytes inside it get lines of their own; another
/// message cuts it short).
class MidiMonitorLog {
public:
    explicit MidiMonitorLog(const Catalogue& catalogue, std::size_t cap = kMonitorLineCap);

    /// A whole message (one put to an output port); one the port refused
    /// (`delivered` false) is marked "(not sent)".
    void addMessage(std::uint32_t milliseconds, MidiDirection direction, const std::string& port,
        std::span<const std::uint8_t> bytes, bool delivered = true);
    /// One event of the input port.
    void addIncoming(std::uint32_t milliseconds, const std::string& port, const MidiEvent& event);
    /// Forgets every line (sequence numbers go on).
    void clear();

    const std::deque<MonitorLine>& lines() const { return m_lines; }
    /// Sequence number the next line gets.
    std::uint64_t nextSequence() const { return m_next; }
    std::size_t cap() const { return m_cap; }

    /// One line of text: seconds with milliseconds, direction, port,
    /// description, bytes, separated by tabs (the bytes last, as the longest).
    static std::string lineText(const MonitorLine& line);

private:
    void flushSysEx();

    const Catalogue& m_catalogue;
    std::size_t m_cap;
    std::deque<MonitorLine> m_lines;
    std::uint64_t m_next = 0;
    std::vector<std::uint8_t> m_sysEx; ///< incoming SysEx not yet ended
    std::uint32_t m_sysExTime = 0;
    std::string m_sysExPort;
};

} // namespace kestrow
