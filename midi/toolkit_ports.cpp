#include "toolkit_ports.h"

#include "midi_driver.h"
#include "midi_in.h"
#include "midi_out.h"

#include <algorithm>

namespace kestrow {

namespace {

    constexpr int kMaxPorts = 50;
    constexpr std::uint32_t kPortParam = 78624;

    std::string descriptionOf(std::uint16_t (*describe)(std::uint16_t, char*), std::uint16_t id)
    {
        char name[MIDIDRV_DESCRIPTION_SIZE] = {};
        if (describe == nullptr || describe(id, name) != 0)
            return {};
        name[MIDIDRV_DESCRIPTION_SIZE - 1] = '\0';
        return name;
    }

    std::string quoted(const std::string& name) { return "\"" + name + "\""; }

} // namespace

ToolkitMidiPorts::ToolkitMidiPorts(TMidiDriver& driver, MidiDispatcher& dispatcher)
    : m_driver(driver)
{
    const MidiDriverApi& api = driver.api();
    const int outputs = std::min<int>(api.GetNumOutDevices ? api.GetNumOutDevices() : 0, kMaxPorts);
    for (int i = 0; i < outputs; ++i) {
        m_outputNames.push_back(
            descriptionOf(api.GetMidiOutDescription, static_cast<std::uint16_t>(i)));
        m_outputs.push_back(std::make_unique<TMidiOut>(&driver));
        m_outputs.back()->setDispatcher(&dispatcher);
    }
    const int inputs = std::min<int>(api.GetNumInDevices ? api.GetNumInDevices() : 0, kMaxPorts);
    for (int i = 0; i < inputs; ++i) {
        m_inputNames.push_back(
            descriptionOf(api.GetMidiInDescription, static_cast<std::uint16_t>(i)));
        m_inputs.push_back(std::make_unique<TMidiIn>(&driver));
        m_inputs.back()->setDispatcher(&dispatcher);
    }
    m_input = std::make_unique<TMidiIn>(&driver);
    m_input->setDispatcher(&dispatcher);
    m_input->OnMidiData = [this](MidiEvent* event, bool&) {
        if (event != nullptr && onInput)
            onInput(*event);
    };
}

ToolkitMidiPorts::~ToolkitMidiPorts()
{
    m_input->OnMidiData = nullptr;
    closeInput();
    for (auto& out : m_outputs) {
        if (out->IsOpen())
            out->Close();
    }
}

std::vector<std::string> ToolkitMidiPorts::outputNames() const { return m_outputNames; }

std::vector<std::string> ToolkitMidiPorts::inputNames() const { return m_inputNames; }

std::string ToolkitMidiPorts::outputName(int device) const
{
    return device >= 0 && device < static_cast<int>(m_outputNames.size())
        ? quoted(m_outputNames[static_cast<std::size_t>(device)])
        : "output " + std::to_string(device + 1);
}

bool ToolkitMidiPorts::outputIsOpen(int device) const
{
    return device >= 0 && device < static_cast<int>(m_outputs.size())
        && m_outputs[static_cast<std::size_t>(device)]->IsOpen();
}

PortResult ToolkitMidiPorts::openOutput(int device)
{
    if (device < 0 || device >= static_cast<int>(m_outputs.size()))
        return PortResult::failure(outputName(device) + ": no such MIDI output");
    TMidiOut& out = *m_outputs[static_cast<std::size_t>(device)];
    if (out.IsOpen() || out.Open(static_cast<std::uint16_t>(device), kPortParam))
        return PortResult::success();
    return PortResult::failure(
        outputName(device) + " cannot be opened: the device is gone or in use by another program");
}

PortResult ToolkitMidiPorts::put(int device, std::span<const MidiEvent> events)
{
    if (!outputIsOpen(device))
        return PortResult::failure(
            outputName(device) + ": " + putStatusText(PutStatus::portClosed));
    TMidiOut& out = *m_outputs[static_cast<std::size_t>(device)];
    for (const MidiEvent& event : events) {
        const PutStatus status = out.PutEvent(event);
        if (status != PutStatus::taken)
            return PortResult::failure(outputName(device) + ": " + putStatusText(status));
    }
    return PortResult::success();
}

void ToolkitMidiPorts::closeInput()
{
    if (m_input->IsOpen()) {
        m_input->Stop();
        m_input->Close();
    }
}

PortResult ToolkitMidiPorts::openInput(int device)
{
    if (device < 0 || device >= static_cast<int>(m_inputNames.size()))
        return PortResult::failure("input " + std::to_string(device + 1) + ": no such MIDI input");
    if (!m_input->Open(static_cast<std::uint16_t>(device), kPortParam)) {
        return PortResult::failure(quoted(m_inputNames[static_cast<std::size_t>(device)])
            + " cannot be opened: the device is gone or in use by another program");
    }
    m_input->Start();
    return PortResult::success();
}

} // namespace kestrow
