#pragma once

#include "midi_dispatcher.h"
#include "midi_ports.h"

#include <QObject>

#include <memory>
#include <vector>

namespace kestrow {

class TMidiDriver;
class TMidiIn;
class TMidiOut;

/// Runs the driver library's notifications as queued calls on the thread of
/// `context` (the user-interface thread).
class QtMidiDispatcher : public MidiDispatcher {
public:
    explicit QtMidiDispatcher(QObject* context);
    void post(std::function<void()> task) override;

private:
    QObject* m_context;
};

/// The dialog's port objects over the toolkit: one TMidiOut per output
/// device, one TMidiIn per input device (created with the list) and the one
/// input component that is listened on. Open outputs are closed when this is
/// destroyed.
class ToolkitMidiPorts : public MidiPorts {
public:
    /// Lists at most 50 devices of each kind; the driver must outlive this.
    explicit ToolkitMidiPorts(TMidiDriver& driver);
    ~ToolkitMidiPorts() override;

    std::vector<std::string> outputNames() const override;
    std::vector<std::string> inputNames() const override;
    bool outputIsOpen(int device) const override;
    bool openOutput(int device) override;
    void put(int device, std::span<const MidiEvent> events) override;
    void closeInput() override;
    bool openInput(int device) override;

private:
    TMidiDriver& m_driver;
    std::vector<std::string> m_outputNames;
    std::vector<std::string> m_inputNames;
    std::vector<std::unique_ptr<TMidiOut>> m_outputs;
    std::vector<std::unique_ptr<TMidiIn>> m_inputs;
    std::unique_ptr<TMidiIn> m_input; ///< MidiIn1
};

} // namespace kestrow
