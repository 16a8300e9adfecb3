#include "midi/toolkit_ports.h"

#include "midi/midi_driver.h"
#include "midi/midi_in.h"
#include "midi/midi_out.h"

#include <algorithm>

namespace kestrow {

namespace {

    constexpr int kMaxPorts = 50;
    constexpr std::uint32_t kPortParam = 78624;
    /// How long the lists refreshNames read answer a presence check.
    constexpr std::chrono::milliseconds kFreshLists { 250 };

    using Describe = std::uint16_t (*)(std::uint16_t, char*);
    using WholeText = std::uint32_t (*)(std::uint16_t, char*, std::uint32_t);

    /// A text the library stores by the GetMidiOutName convention, whole.
    std::string wholeText(WholeText get, std::uint16_t index)
    {
        std::string text(64, '\0');
        std::uint32_t length = get(index, text.data(), static_cast<std::uint32_t>(text.size()));
        if (length >= text.size()) {
            text.assign(length + 1, '\0');
            length = std::min<std::uint32_t>(
                get(index, text.data(), static_cast<std::uint32_t>(text.size())), length);
        }
        text.resize(length);
        return text;
    }

    /// Device `id`'s whole name; an older library knows only the cut description.
    std::string descriptionOf(Describe describe, WholeText whole, std::uint16_t id)
    {
        if (whole != nullptr)
            return wholeText(whole, id);
        char name[MIDIDRV_DESCRIPTION_SIZE] = {};
        if (describe == nullptr || describe(id, name) != 0)
            return {};
        name[MIDIDRV_DESCRIPTION_SIZE - 1] = '\0';
        return name;
    }

    std::string quoted(const std::string& name) { return "\"" + name + "\""; }

    /// The driver's device names now, at most kMaxPorts.
    std::vector<std::string> listed(std::uint16_t (*count)(), Describe describe, WholeText whole)
    {
        std::vector<std::string> names;
        const int devices = std::min<int>(count != nullptr ? count() : 0, kMaxPorts);
        for (int i = 0; i < devices; ++i)
            names.push_back(descriptionOf(describe, whole, static_cast<std::uint16_t>(i)));
        return names;
    }

    /// Port objects for `fresh`, each taken over from `names` / `ports` when
    /// its name was there; the objects of names that went are closed.
    template <typename Port>
    void relist(std::vector<std::string> fresh, const std::string& keep,
        std::vector<std::string>& names, std::vector<std::unique_ptr<Port>>& ports,
        TMidiDriver& driver, MidiDispatcher& dispatcher)
    {
        if (!keep.empty() && std::ranges::find(fresh, keep) == fresh.end()
            && std::ssize(fresh) < kMaxPorts)
            fresh.push_back(keep);
        std::vector<std::unique_ptr<Port>> carried;
        for (const std::string& name : fresh) {
            const auto old = std::ranges::find(names, name);
            const auto at = static_cast<std::size_t>(old - names.begin());
            if (at < ports.size() && ports[at]) {
                carried.push_back(std::move(ports[at]));
                continue;
            }
            carried.push_back(std::make_unique<Port>(&driver));
            carried.back()->setDispatcher(&dispatcher);
        }
        for (auto& gone : ports) {
            if (gone && gone->IsOpen())
                gone->Close();
        }
        names = std::move(fresh);
        ports = std::move(carried);
    }

} // namespace

ToolkitMidiPorts::ToolkitMidiPorts(TMidiDriver& driver, MidiDispatcher& dispatcher)
    : m_driver(driver)
    , m_dispatcher(dispatcher)
{
    refreshNames({}, {});
    m_freshOutputs.reset();
    m_freshInputs.reset();
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

void ToolkitMidiPorts::refreshNames(const std::string& keepOutput, const std::string& keepInput)
{
    const MidiDriverApi& api = m_driver.api();
    m_freshOutputs = listed(api.GetNumOutDevices, api.GetMidiOutDescription, api.GetMidiOutName);
    m_freshInputs = listed(api.GetNumInDevices, api.GetMidiInDescription, api.GetMidiInName);
    relist(*m_freshOutputs, keepOutput, m_outputNames, m_outputs, m_driver, m_dispatcher);
    relist(*m_freshInputs, keepInput, m_inputNames, m_inputs, m_driver, m_dispatcher);
    m_freshUntil = std::chrono::steady_clock::now() + kFreshLists;
}

int ToolkitMidiPorts::changeDescriptor()
{
    const auto descriptor = m_driver.api().GetPortChangeFd;
    return descriptor != nullptr ? descriptor() : -1;
}

std::uint32_t ToolkitMidiPorts::changeCount()
{
    const auto count = m_driver.api().GetPortChangeCount;
    return count != nullptr ? count() : 0;
}

std::vector<std::string> ToolkitMidiPorts::systemStatus() const
{
    std::vector<std::string> lines;
    const auto status = m_driver.api().GetMidiSystemStatus;
    for (std::uint16_t i = 0; status != nullptr && i < 16; ++i) {
        std::string line = wholeText(status, i);
        if (line.empty())
            break;
        lines.push_back(std::move(line));
    }
    return lines;
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
    const auto whole = output ? api.GetMidiOutName : api.GetMidiInName;
    const int devices = count ? count() : 0;
    for (int i = 0; i < devices; ++i) {
        if (descriptionOf(describe, whole, static_cast<std::uint16_t>(i)) == name)
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

bool ToolkitMidiPorts::present(bool output, int device)
{
    const auto& names = output ? m_outputNames : m_inputNames;
    auto& fresh = output ? m_freshOutputs : m_freshInputs;
    if (device < 0 || device >= std::ssize(names))
        return false;
    const std::string& name = names[static_cast<std::size_t>(device)];
    if (fresh && std::chrono::steady_clock::now() < m_freshUntil) {
        const bool listed = std::ranges::find(*fresh, name) != fresh->end();
        fresh.reset();
        return listed;
    }
    return currentId(output, name) >= 0;
}

bool ToolkitMidiPorts::outputPresent(int device) { return present(true, device); }

bool ToolkitMidiPorts::inputPresent(int device) { return present(false, device); }

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
