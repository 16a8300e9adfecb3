#include "midi/midi_port.h"

#include "midi/midi_driver.h"
#include "midi/midi_exception.h"
#include "midi/midi_sync.h"

namespace kestrow {

namespace {

    std::string deviceName(const MidiDriverApi& api, bool output, std::uint16_t id)
    {
        char text[MIDIDRV_DESCRIPTION_SIZE] = {};
        if (output)
            api.GetMidiOutDescription(id, text);
        else
            api.GetMidiInDescription(id, text);
        text[MIDIDRV_DESCRIPTION_SIZE - 1] = '\0';
        return text;
    }

} // namespace

TMidiPort::TMidiPort(TMidiDriver* driver, bool output, std::function<void(std::uint32_t)> handler)
    : Driver(driver)
    , m_output(output)
    , m_notifier(std::move(handler))
{
}

void TMidiPort::requireDriver() const
{
    if (!Driver)
        throw EMidiException("No MidiDriver");
}

bool TMidiPort::openDevice(std::uint16_t id, std::uint32_t param)
{
    requireDriver();
    if (m_isOpen)
        throw EMidiException("already open");
    const std::uint32_t sync = m_sync ? m_sync->GetHandle() : 0;
    const MidiDriverApi& api = Driver->api();
    m_description = deviceName(api, m_output, id);
    m_deviceId = id;
    m_param = param;
    m_handle = m_output ? api.OpenMidiOut(m_notifier.notify(), id, sync, param)
                        : api.OpenMidiIn(m_notifier.notify(), id, sync, param);
    if (m_handle > 32) {
        m_isOpen = true;
    } else {
        m_handle = 0;
        m_description.clear();
    }
    return m_isOpen;
}

void TMidiPort::forgetDevice()
{
    m_handle = 0;
    m_description.clear();
    m_isOpen = false;
}

std::uint16_t TMidiPort::GetNumDevices() const
{
    requireDriver();
    return m_output ? Driver->api().GetNumOutDevices() : Driver->api().GetNumInDevices();
}

std::uint16_t TMidiPort::GetIDFromName(const std::string& name) const
{
    const std::uint16_t count = GetNumDevices();
    for (std::uint16_t id = 0; id < count; ++id)
        if (deviceName(Driver->api(), m_output, id) == name)
            return id;
    return kNoDevice;
}

void TMidiPort::Attach(TMidiSync* sync)
{
    m_sync = sync;
    reopen();
}

void TMidiPort::Detach(TMidiSync* sync)
{
    if (sync != m_sync)
        throw EMidiException("sync not found");
    m_sync = nullptr;
    reopen();
}

} // namespace kestrow
