#include "midi_out.h"

#include "midi_driver.h"
#include "midi_exception.h"
#include "midi_score.h"
#include "midi_sync.h"

#include <cstddef>
#include <iostream>

namespace kestrow {

static_assert(sizeof(MidiDrvEvent) == sizeof(MidiEvent));
static_assert(offsetof(MidiDrvEvent, time) == offsetof(MidiEvent, time));
static_assert(offsetof(MidiDrvEvent, status) == offsetof(MidiEvent, status));
static_assert(offsetof(MidiDrvEvent, data1) == offsetof(MidiEvent, data1));
static_assert(offsetof(MidiDrvEvent, data2) == offsetof(MidiEvent, data2));
static_assert(offsetof(MidiDrvEvent, data3) == offsetof(MidiEvent, data3));

MidiDrvEvent toDriverEvent(const MidiEvent& event)
{
    return { event.time, event.status, event.data1, event.data2, event.data3 };
}

MidiEvent fromDriverEvent(const MidiDrvEvent& event)
{
    MidiEvent e;
    e.time = event.time;
    e.status = event.status;
    e.data1 = event.data1;
    e.data2 = event.data2;
    e.data3 = event.data3;
    return e;
}

TMidiOut::TMidiOut(TMidiDriver* driver)
    : Driver(driver)
    , m_notifier([this](std::uint32_t message) { handle(message); })
{
}

TMidiOut::~TMidiOut()
{
    try {
        if (m_isOpen)
            Close();
    } catch (const EMidiException& e) {
        std::cerr << "kestrow: " << e.what() << '\n';
    }
}

void TMidiOut::requireDriver() const
{
    if (!Driver)
        throw EMidiException("No MidiDriver");
}

bool TMidiOut::Open(std::uint16_t id, std::uint32_t param)
{
    requireDriver();
    if (m_isOpen)
        throw EMidiException("already open");
    std::uint32_t sync = m_sync ? m_sync->GetHandle() : 0;
    char text[MIDIDRV_DESCRIPTION_SIZE] = {};
    Driver->api().GetMidiOutDescription(id, text);
    text[MIDIDRV_DESCRIPTION_SIZE - 1] = '\0';
    m_description = text;
    m_deviceId = id;
    m_param = param;
    m_handle = Driver->api().OpenMidiOut(m_notifier.notify(), id, sync, param);
    if (m_handle > 32) {
        m_isOpen = true;
    } else {
        m_handle = 0;
        m_description.clear();
    }
    return m_isOpen;
}

void TMidiOut::Close()
{
    if (!m_isOpen)
        throw EMidiException("midiOut not open");
    m_description.clear();
    Reset();
    Driver->api().CloseMidiOut(m_handle);
    m_handle = 0;
    m_isOpen = false;
}

void TMidiOut::Reset()
{
    if (!m_isOpen)
        throw EMidiException("midiOut not open");
    Driver->api().ResetMidiOut(m_handle);
}

void TMidiOut::Flush()
{
    if (!m_isOpen)
        throw EMidiException("midiOut not open");
    Driver->api().FlushMidiOut(m_handle);
}

bool TMidiOut::Put(const MidiEvent* event)
{
    if (!m_isOpen)
        return true;
    if (!event)
        return false;
    MidiDrvEvent e = toDriverEvent(*event);
    return Driver->api().PutMidiOut(m_handle, &e) == 0;
}

std::uint16_t TMidiOut::GetNumDevices() const
{
    requireDriver();
    return Driver->api().GetNumOutDevices();
}

std::uint16_t TMidiOut::GetIDFromName(const std::string& name) const
{
    requireDriver();
    std::uint16_t count = Driver->api().GetNumOutDevices();
    for (std::uint16_t id = 0; id < count; ++id) {
        char text[MIDIDRV_DESCRIPTION_SIZE] = {};
        Driver->api().GetMidiOutDescription(id, text);
        text[MIDIDRV_DESCRIPTION_SIZE - 1] = '\0';
        if (name == text)
            return id;
    }
    return kNoDevice;
}

void TMidiOut::reopen()
{
    if (!m_isOpen)
        return;
    std::uint16_t id = m_deviceId;
    std::uint32_t param = m_param;
    Close();
    Open(id, param);
}

void TMidiOut::Attach(TMidiSync* sync)
{
    m_sync = sync;
    reopen(); // the library learns of the clock at open
}

void TMidiOut::Detach(TMidiSync* sync)
{
    if (sync != m_sync)
        throw EMidiException("sync not found");
    m_sync = nullptr;
    reopen();
}

void TMidiOut::Attach(TMidiScore* score)
{
    m_score = score;
}

void TMidiOut::Detach(TMidiScore* score)
{
    if (score != m_score)
        throw EMidiException("score not found");
    m_score = nullptr;
}

void TMidiOut::handle(std::uint32_t message)
{
    if (message != MIDIDRV_MSG_OUTPUT_READY)
        return;
    if (m_score)
        m_score->MergeOut(this);
    if (OutBufferReady)
        OutBufferReady(this);
}

} // namespace kestrow
