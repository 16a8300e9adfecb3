#pragma once

#include "link/midi_ports.h"

#include <memory>
#include <utility>

namespace kestrow {

/// The session's ports, whose driver may be loaded after the window is up:
/// until then (and for good when it cannot be loaded) NoMidiPorts stands in.
/// The protocol and the tap keep this one object throughout.
class LateMidiPorts : public MidiPorts {
public:
    explicit LateMidiPorts(std::unique_ptr<MidiPorts> ports = {}) { attach(std::move(ports)); }
    ~LateMidiPorts() override { m_ports->onInput = nullptr; }

    /// From now on `ports` (NoMidiPorts for none) are the run's ports.
    void attach(std::unique_ptr<MidiPorts> ports)
    {
        if (m_ports)
            m_ports->onInput = nullptr;
        m_ports = ports ? std::move(ports) : std::make_unique<NoMidiPorts>();
        m_ports->onInput = [this](const MidiEvent& event) {
            if (onInput)
                onInput(event);
        };
    }

    std::vector<std::string> outputNames() const override { return m_ports->outputNames(); }
    std::vector<std::string> inputNames() const override { return m_ports->inputNames(); }
    std::vector<std::string> systemStatus() const override { return m_ports->systemStatus(); }
    void refreshNames(const std::string& keepOutput, const std::string& keepInput) override
    {
        m_ports->refreshNames(keepOutput, keepInput);
    }
    int changeDescriptor() override { return m_ports->changeDescriptor(); }
    std::uint32_t changeCount() override { return m_ports->changeCount(); }

    bool outputIsOpen(int device) const override { return m_ports->outputIsOpen(device); }
    PortResult openOutput(int device) override { return m_ports->openOutput(device); }
    PortResult put(int device, std::span<const MidiEvent> events) override
    {
        return m_ports->put(device, events);
    }
    void closeInput() override { m_ports->closeInput(); }
    PortResult openInput(int device) override { return m_ports->openInput(device); }
    PortResult reopenOutput(int device) override { return m_ports->reopenOutput(device); }
    bool outputPresent(int device) override { return m_ports->outputPresent(device); }
    bool inputPresent(int device) override { return m_ports->inputPresent(device); }

private:
    std::unique_ptr<MidiPorts> m_ports;
};

} // namespace kestrow
