// The chosen ports as the MIDI system changes: read the lists afresh, and
// report a port that went and bind one that came back.
#include "editor/port_watch.h"

#include "protocol/status_text.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kestrow {

PortWatch::PortWatch(DeviceProtocol& protocol, DeviceSettingsModel& settings, DeviceLink& link,
    ProtocolHost& host, std::function<PaceClock::time_point()> clock)
    : m_protocol(protocol)
    , m_settings(settings)
    , m_link(link)
    , m_host(host)
    , m_clock(std::move(clock))
{
}

std::string PortWatch::outputName() const { return m_settings.chosenOutputName(); }

std::string PortWatch::inputName() const { return m_settings.chosenInputName(); }

bool PortWatch::outputLost() const
{
    return m_settings.outputChosen() && m_lostOutput == outputName();
}

bool PortWatch::inputLost() const { return m_settings.inputChosen() && m_lostInput == inputName(); }

void PortWatch::refresh(MidiPorts& ports, PaceClock::time_point now)
{
    ports.refreshNames(m_settings.outputChosen() ? outputName() : std::string(),
        m_settings.inputChosen() ? inputName() : std::string());
    m_settings.updatePortNames(ports.outputNames(), ports.inputNames());
    look(now);
}

void PortWatch::portsOpened()
{
    // A chosen port that is not there (a saved one whose device is
    // unplugged) counts as gone, so that it is opened when it appears.
    m_lostOutput.reset();
    m_lostInput.reset();
    m_lastLook = m_clock();
    if (m_settings.outputChosen() && !m_link.outputIsOpen(m_settings.selectedOutput)
        && !m_link.outputPresent(m_settings.selectedOutput))
        m_lostOutput = outputName();
    if (m_settings.inputChosen() && !m_link.inputPresent(m_settings.selectedInput))
        m_lostInput = inputName();
    m_host.scheduleChanged();
}

bool PortWatch::outputWanted(PaceClock::time_point now)
{
    if (outputLost())
        look(now);
    return !outputLost();
}

std::optional<PaceClock::time_point> PortWatch::deadline() const
{
    const PaceClock::time_point again
        = m_lastLook + std::chrono::milliseconds(kPresenceCheckInterval);
    // While a transfer or a reply runs, the ports are looked for on the
    // protocol's watch, so a look long ago does not make one due in the past.
    if (const std::optional<PaceClock::time_point> watch
        = m_protocol.deadline(ProtocolTimer::Timer5))
        return std::max(again, *watch);
    if ((outputLost() || inputLost()) && !m_notifications)
        return again;
    return std::nullopt;
}

void PortWatch::tick(PaceClock::time_point now)
{
    const std::optional<PaceClock::time_point> due = deadline();
    if (due && now >= *due)
        look(now);
}

void PortWatch::look(PaceClock::time_point now)
{
    m_lastLook = now;
    std::vector<std::string> gone;
    std::vector<std::string> back;
    if (m_settings.outputChosen()) {
        const bool present = m_link.outputPresent(m_settings.selectedOutput);
        if (!present && !outputLost()) {
            gone.push_back(outputName());
            m_lostOutput = outputName();
        } else if (present && outputLost()) {
            m_lostOutput.reset();
            const PortResult reopened = m_link.reopenOutput(m_settings.selectedOutput);
            if (reopened)
                back.push_back(outputName());
            else
                m_host.showStatus(reopened.reason);
        }
    }
    if (m_settings.inputChosen()) {
        const bool present = m_link.inputPresent(m_settings.selectedInput);
        if (!present && !inputLost()) {
            gone.push_back(inputName());
            m_lostInput = inputName();
        } else if (present && inputLost()) {
            m_lostInput.reset();
            m_link.closeInput();
            const PortResult reopened = m_link.openInput(m_settings.selectedInput);
            m_protocol.inputReopened();
            if (reopened)
                back.push_back(inputName());
            else
                m_host.showStatus(reopened.reason);
        }
    }
    // Output and input usually come back together: one line names both.
    if (!back.empty())
        m_host.showStatus(status::portsBack(back));
    if (!gone.empty())
        m_protocol.portsGone(gone);
    m_host.scheduleChanged();
}

} // namespace kestrow
