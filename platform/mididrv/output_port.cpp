#include "platform/mididrv/output_port.h"

#include "platform/mididrv/smf_codec.h"

namespace kestrow::mididrv {

OutputPort::OutputPort(std::unique_ptr<OutputConnection> connection)
    : m_connection(std::move(connection))
{
}

std::uint16_t OutputPort::put(const MidiDrvEvent& e)
{
    if (e.status == 0xF0) {
        if (e.data1 == 0xF0)
            m_sysEx.assign(1, 0xF0);
        else if (m_sysEx.empty())
            return MIDIDRV_PUT_NOT_MIDI; // a stray byte outside a message goes nowhere
        else
            m_sysEx.push_back(e.data1);
        if (e.data1 == 0xF7) {
            const bool sent = m_connection->send(m_sysEx);
            m_sysEx.clear();
            return sent ? MIDIDRV_PUT_TAKEN : MIDIDRV_PUT_NOT_SENT;
        }
        if (m_sysEx.size() > kMaxSysEx) {
            m_sysEx.clear();
            return MIDIDRV_PUT_NOT_MIDI;
        }
        return MIDIDRV_PUT_TAKEN;
    }
    if (e.status < 0x80)
        return MIDIDRV_PUT_NOT_MIDI;
    const std::uint8_t bytes[3] = { e.status, static_cast<std::uint8_t>(e.data1 & 0x7F),
        static_cast<std::uint8_t>(e.data2 & 0x7F) };
    const auto length = 1 + static_cast<std::size_t>(smf::dataLength(e.status));
    return m_connection->send(std::span<const std::uint8_t>(bytes, length)) ? MIDIDRV_PUT_TAKEN
                                                                            : MIDIDRV_PUT_NOT_SENT;
}

} // namespace kestrow::mididrv
