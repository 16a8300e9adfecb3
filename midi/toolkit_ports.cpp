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

int ToolkitMidiPorts::currentId(bool output, const std::string& name) const
{
    const MidiDriverApi& api = m_driver.api();
    const auto count = output ? api.GetNumOutDevices : api.GetNumInDevices;
    const auto describe = output ? api.GetMidiOutDescription : api.GetMidiInDescription;
    const int devices = count ? count() : 0;
    for (int i = 0; i < devices; ++i) {
        if (descriptionOf(describe, static_cast<std::uint16_t>(i)) == name)
            return i;
    }
    return -1;
}

std::string ToolkitMidiPorts::goneReason(const std::string& name) const
{
    return quoted(name) + " is not there: the device was unplugged, switched off or closed";
}

PortResult ToolkitMidiPorts::openOutput(int device)
{
    if (device < 0 || device >= static_cast<int>(m_outputs.size()))
        return PortResult::failure(outputName(device) + ": no such MIDI output");
    TMidiOut& out = *m_outputs[static_cast<std::size_t>(device)];
    if (out.IsOpen())
        return PortResult::success();
    const std::string& name = m_outputNames[static_cast<std::size_t>(device)];
    const int id = currentId(true, name);
    if (id < 0)
        return PortResult::failure(goneReason(name));
    if (out.Open(static_cast<std::uint16_t>(id), kPortParam))
        return PortResult::success();
    return PortResult::failure(
        outputName(device) + " cannot be opened: the device is gone or in use by another program");
}

PortResult ToolkitMidiPorts::reopenOutput(int device)
{
    if (device >= 0 && device < static_cast<int>(m_outputs.size())) {
        TMidiOut& out = *m_outputs[static_cast<std::size_t>(device)];
        if (out.IsOpen())
            out.Close();
    }
    return openOutput(device);
}

bool ToolkitMidiPorts::outputPresent(int device)
{
    return device >= 0 && device < static_cast<int>(m_outputNames.size())
        && currentId(true, m_outputNames[static_cast<std::size_t>(device)]) >= 0;
}

bool ToolkitMidiPorts::inputPresent(int device)
{
    return device >= 0 && device < static_cast<int>(m_inputNames.size())
        && currentId(false, m_inputNames[static_cast<std::size_t>(device)]) >= 0;
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
    const std::string& name = m_inputNames[static_cast<std::size_t>(device)];
    const int id = currentId(false, name);
    if (id < 0)
        return PortResult::failure(goneReason(name));
    if (!m_input->Open(static_cast<std::uint16_t>(id), kPortParam)) {
        return PortResult::failure(quoted(m_inputNames[static_cast<std::size_t>(device)])
            + " cannot be opened: the device is gone or in use by another program");
    }
    m_input->Start();
    return PortResult::success();
}

} // namespace kestrow
