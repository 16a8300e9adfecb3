#pragma once

#include "link/midi_ports.h"
#include "midi/midi_dispatcher.h"

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace kestrow {

class TMidiDriver;
class TMidiIn;
class TMidiOut;

/// The port objects of a run over the toolkit: one TMidiOut per output
/// device, one TMidiIn per input device (created with the list) and the one
/// input component that is listened on (MidiIn1). The driver library's
/// notifications run through `dispatcher`. Open outputs are closed when this
/// is destroyed.
///
/// Devices are kept by the names listed at construction or at the last
/// refreshNames: a port is opened on the device that bears its name when it
/// is opened, whatever position that device has in the driver's list by then.
class ToolkitMidiPorts : public MidiPorts {
public:
    /// Lists at most 50 devices of each kind; the driver and the dispatcher
    /// must outlive this.
    ToolkitMidiPorts(TMidiDriver& driver, MidiDispatcher& dispatcher);
    ~ToolkitMidiPorts() override;

    std::vector<std::string> systemStatus() const override;
    std::vector<std::string> outputNames() const override;
    std::vector<std::string> inputNames() const override;
    bool outputIsOpen(int device) const override;
    PortResult openOutput(int device) override;
    PortResult put(int device, std::span<const MidiEvent> events) override;
    void closeInput() override;
    PortResult openInput(int device) override;
    PortResult reopenOutput(int device) override;
    bool outputPresent(int device) override;
    bool inputPresent(int device) override;
    void refreshNames(const std::string& keepOutput, const std::string& keepInput) override;
    int changeDescriptor() override;
    std::uint32_t changeCount() override;

private:
    std::string outputName(int device) const;
    /// The driver's id of the device named `name` now (the list is read
    /// afresh), or -1 when there is none.
    int currentId(bool output, const std::string& name) const;
    std::string goneReason(const std::string& name) const;
    /// Whether a port of the name of device `device` is there now.
    bool present(bool output, int device);

    TMidiDriver& m_driver;
    MidiDispatcher& m_dispatcher;
    std::vector<std::string> m_outputNames;
    std::vector<std::string> m_inputNames;
    std::vector<std::unique_ptr<TMidiOut>> m_outputs;
    std::vector<std::unique_ptr<TMidiIn>> m_inputs;
    std::unique_ptr<TMidiIn> m_input; ///< MidiIn1
    /// The names the last refreshNames found, for the first presence check
    /// right after it: a list read is some JACK clients, not to be repeated at once.
    std::optional<std::vector<std::string>> m_freshOutputs;
    std::optional<std::vector<std::string>> m_freshInputs;
    std::chrono::steady_clock::time_point m_freshUntil;
};

} // namespace kestrow
