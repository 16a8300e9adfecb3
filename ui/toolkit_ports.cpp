#include "toolkit_ports.h"

#include "midi_driver.h"
#include "midi_in.h"
#include "midi_out.h"

#include <QMetaObject>

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

} // namespace

QtMidiDispatcher::QtMidiDispatcher(QObject* context)
    : m_context(context)
{
}

void QtMidiDispatcher::post(std::function<void()> task)
{
    QMetaObject::invokeMethod(m_context, std::move(task), Qt::QueuedConnection);
}

ToolkitMidiPorts::ToolkitMidiPorts(TMidiDriver& driver)
    : m_driver(driver)
{
    const MidiDriverApi& api = driver.api();
    const int outputs = std::min<int>(api.GetNumOutDevices ? api.GetNumOutDevices() : 0, kMaxPorts);
    for (int i = 0; i < outputs; ++i) {
        m_outputNames.push_back(descriptionOf(api.GetMidiOutDescription, static_cast<std::uint16_t>(i)));
        m_outputs.push_back(std::make_unique<TMidiOut>(&driver));
    }
    const int inputs = std::min<int>(api.GetNumInDevices ? api.GetNumInDevices() : 0, kMaxPorts);
    for (int i = 0; i < inputs; ++i) {
        m_inputNames.push_back(descriptionOf(api.GetMidiInDescription, static_cast<std::uint16_t>(i)));
        m_inputs.push_back(std::make_unique<TMidiIn>(&driver));
    }
    m_input = std::make_unique<TMidiIn>(&driver);
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

std::vector<std::string> ToolkitMidiPorts::outputNames() const
{
    return m_outputNames;
}

std::vector<std::string> ToolkitMidiPorts::inputNames() const
{
    return m_inputNames;
}

bool ToolkitMidiPorts::outputIsOpen(int device) const
{
    return device >= 0 && device < static_cast<int>(m_outputs.size())
        && m_outputs[static_cast<std::size_t>(device)]->IsOpen();
}

bool ToolkitMidiPorts::openOutput(int device)
{
    if (device < 0 || device >= static_cast<int>(m_outputs.size()))
        return false;
    TMidiOut& out = *m_outputs[static_cast<std::size_t>(device)];
    return out.IsOpen() || out.Open(static_cast<std::uint16_t>(device), kPortParam);
}

void ToolkitMidiPorts::put(int device, std::span<const MidiEvent> events)
{
    if (!outputIsOpen(device))
        return;
    TMidiOut& out = *m_outputs[static_cast<std::size_t>(device)];
    for (const MidiEvent& event : events)
        out.Put(&event);
}

void ToolkitMidiPorts::closeInput()
{
    if (m_input->IsOpen()) {
        m_input->Stop();
        m_input->Close();
    }
}

bool ToolkitMidiPorts::openInput(int device)
{
    if (device < 0 || device >= static_cast<int>(m_inputNames.size()))
        return false;
    if (!m_input->Open(static_cast<std::uint16_t>(device), kPortParam))
        return false;
    m_input->Start();
    return true;
}

} // namespace kestrow
