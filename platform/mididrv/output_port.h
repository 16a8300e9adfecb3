#pragma once

#include "platform/mididrv/mididrv.h"
#include "platform/mididrv/port_backend.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrow::mididrv {

/// An open output: takes events one by one as PutMidiOut hands them in.
/// SysEx bytes are collected from F0 to F7 and leave as one message;
/// every other event leaves at once.
class OutputPort {
public:
    explicit OutputPort(std::unique_ptr<OutputConnection> connection);

    /// One of the MIDIDRV_PUT_ results. A byte outside F0..F7 goes nowhere.
    std::uint16_t put(const MidiDrvEvent& event);
    /// Forgets a SysEx message under way.
    void reset() { m_sysEx.clear(); }

    MidiDrvNotify notify {};

private:
    static constexpr std::size_t kMaxSysEx = 1 << 20;
    std::unique_ptr<OutputConnection> m_connection;
    std::vector<std::uint8_t> m_sysEx;
};

} // namespace kestrow::mididrv
