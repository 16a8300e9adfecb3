#pragma once

#include "link/device_link.h"
#include "link/midi_ports.h"
#include "protocol/device_protocol.h"

#include <functional>
#include <optional>
#include <string>

namespace kestrow {

/// While a transfer, a reply or a lost port needs it, the chosen ports are
/// looked for this often, in milliseconds.
constexpr int kPresenceCheckInterval = 1000;

/// Whether the chosen ports are there as the MIDI system changes: one that
/// went is shown and stops the transfer, one that came back is opened again
/// by its name. A port counts as lost by name, so choosing another one ends
/// the wait for the old. Driven by the owner's tick(now) at deadline().
class PortWatch {
public:
    /// `clock` is the protocol's (tests pass a fake).
    PortWatch(DeviceProtocol& protocol, DeviceSettingsModel& settings, DeviceLink& link,
        ProtocolHost& host, std::function<PaceClock::time_point()> clock = &PaceClock::now);

    /// Whether the chosen output / input was found not there (unplugged, or
    /// saved but missing since the start); it is opened when it appears.
    bool outputLost() const;
    bool inputLost() const;
    /// Whether the MIDI system reports port changes (refresh follows each):
    /// then a lost port is waited for without looking every second.
    void setNotifications(bool on) { m_notifications = on; }
    /// The lists are read again from `ports` (the chosen ports stay chosen by
    /// name, and listed while gone) and the chosen ports are looked for at once.
    void refresh(MidiPorts& ports, PaceClock::time_point now);
    /// The protocol opened the chosen ports by their names: one that is not
    /// there counts as lost from now on.
    void portsOpened();
    /// A send is about to start: a lost output that came back is bound
    /// first; false while it is still gone.
    bool outputWanted(PaceClock::time_point now);

    /// When the ports are next looked for; none while nothing needs it.
    std::optional<PaceClock::time_point> deadline() const;
    void tick(PaceClock::time_point now);

private:
    void look(PaceClock::time_point now);
    std::string outputName() const;
    std::string inputName() const;

    DeviceProtocol& m_protocol;
    DeviceSettingsModel& m_settings;
    DeviceLink& m_link;
    ProtocolHost& m_host;
    std::function<PaceClock::time_point()> m_clock;
    std::optional<std::string> m_lostOutput; ///< name of the chosen output found gone
    std::optional<std::string> m_lostInput;
    bool m_notifications = false;
    PaceClock::time_point m_lastLook;
};

} // namespace kestrow
