#pragma once

#include "link/midi_ports.h"

#include <span>
#include <string>

namespace kestrow {

/// Watches the MIDI traffic of a run (the monitor window, knob learn).
class MidiObserver {
public:
    virtual ~MidiObserver() = default;
    /// One event of the input port, as delivered (SysEx a byte per event).
    virtual void incoming(const MidiEvent& event, const std::string& port) = 0;
    /// One whole message put to an output port; `sent` false when the port refused it.
    virtual void outgoing(std::span<const MidiEvent> events, const std::string& port, bool sent)
        = 0;
};

/// The ports as the protocol reaches them, with a tap on both directions.
/// Every call goes on to the ports unchanged; each observer is told of the
/// traffic only while it is set, so with none set nothing is named or copied.
class TrafficTap : public DeviceLink {
public:
    /// `ports` must outlive this.
    explicit TrafficTap(MidiPorts& ports);

    /// The monitor; nullptr when it is closed.
    void setMonitor(MidiObserver* observer) { m_monitor = observer; }
    MidiObserver* monitor() const { return m_monitor; }
    /// Knob learn; nullptr while it is off. Told of input only.
    void setLearner(MidiObserver* observer) { m_learner = observer; }
    MidiObserver* learner() const { return m_learner; }

    /// An event of the input port, before the protocol takes it.
    void incoming(const MidiEvent& event);

    bool outputIsOpen(int device) const override;
    PortResult openOutput(int device) override;
    PortResult put(int device, std::span<const MidiEvent> events) override;
    void closeInput() override;
    PortResult openInput(int device) override;
    PortResult reopenOutput(int device) override;
    bool outputPresent(int device) override;
    bool inputPresent(int device) override;

private:
    static std::string nameOf(const std::vector<std::string>& names, int device);

    MidiPorts& m_ports;
    MidiObserver* m_monitor = nullptr;
    MidiObserver* m_learner = nullptr;
    std::string m_input; ///< name of the input opened last
};

} // namespace kestrow
