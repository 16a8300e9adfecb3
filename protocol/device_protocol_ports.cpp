// The chosen ports as the MIDI system changes: read the lists afresh, and
// report a port that went and bind one that came back.
#include "protocol/device_protocol.h"
#include "protocol/status_text.h"

namespace kestrow {

void DeviceProtocol::refreshPorts(MidiPorts& ports)
{
    ports.refreshNames(m_settings.outputChosen() ? outputName() : std::string(),
        m_settings.inputChosen() ? inputName() : std::string());
    m_settings.updatePortNames(ports.outputNames(), ports.inputNames());
    checkPresence();
    updateWatch();
}

void DeviceProtocol::setPortNotifications(bool on)
{
    m_portNotifications = on;
    updateWatch();
}

void DeviceProtocol::checkPresence() { checkPresence(m_paceClock()); }

void DeviceProtocol::checkPresence(PaceClock::time_point now)
{
    m_lastPresenceCheck = now;
    std::vector<std::string> gone;
    std::vector<std::string> back;
    const bool output = m_settings.outputChosen();
    const bool input = m_settings.inputChosen();
    if (output) {
        const bool present = m_link.outputPresent(m_settings.selectedOutput);
        if (!present && !m_outputLost)
            gone.push_back(outputName());
        if (present && m_outputLost) {
            m_outputLost = false;
            const PortResult reopened = m_link.reopenOutput(m_settings.selectedOutput);
            if (reopened)
                back.push_back(outputName());
            else
                m_host.showStatus(reopened.reason);
        }
        m_outputLost = !present;
    }
    if (input) {
        const bool present = m_link.inputPresent(m_settings.selectedInput);
        if (!present && !m_inputLost)
            gone.push_back(inputName());
        if (present && m_inputLost) {
            m_inputLost = false;
            m_link.closeInput();
            const PortResult reopened = m_link.openInput(m_settings.selectedInput);
            m_collector.reset();
            if (reopened)
                back.push_back(inputName());
            else
                m_host.showStatus(reopened.reason);
        }
        m_inputLost = !present;
    }
    // Output and input usually come back together: one line names both.
    if (!back.empty())
        m_host.showStatus(status::portsBack(back));
    if (gone.empty())
        return;
    // Nothing can come back through a vanished port, and nothing goes out.
    m_replies.clear();
    if (transferRunning())
        stopTransfer(status::portsGone(gone));
    else
        m_host.showStatus(status::portsGone(gone));
    updateWatch();
}

} // namespace kestrow
