#include "midi_in.h"

#include "midi_driver.h"
#include "midi_exception.h"
#include "midi_out.h"
#include "midi_sync.h"
#include "midi_track.h"

#include <iostream>

namespace kestrow {

TMidiIn::TMidiIn(TMidiDriver* driver)
    : Driver(driver)
    , m_notifier([this](std::uint32_t message) { handle(message); })
{
}

TMidiIn::~TMidiIn()
{
    try {
        if (m_isOpen)
            Close();
    } catch (const EMidiException& e) {
        std::cerr << "kestrow: " << e.what() << '\n';
    }
    if (m_track) {
        TMidiTrack* track = m_track;
        m_track = nullptr;
        track->Detach(this);
    }
}

void TMidiIn::requireDriver() const
{
    if (!Driver)
        throw EMidiException("No MidiDriver");
}

bool TMidiIn::Open(std::uint16_t id, std::uint32_t param)
{
    requireDriver();
    if (m_isOpen)
        throw EMidiException("already open");
    m_timeCarry = 0;
    std::uint32_t sync = m_sync ? m_sync->GetHandle() : 0;
    char text[MIDIDRV_DESCRIPTION_SIZE] = {};
    Driver->api().GetMidiInDescription(id, text);
    text[MIDIDRV_DESCRIPTION_SIZE - 1] = '\0';
    m_description = text;
    m_deviceId = id;
    m_param = param;
    m_handle = Driver->api().OpenMidiIn(m_notifier.notify(), id, sync, param);
    if (m_handle > 32) {
        m_isOpen = true;
    } else {
        m_handle = 0;
        m_description.clear();
    }
    return m_isOpen;
}

void TMidiIn::Close()
{
    if (!m_isOpen)
        throw EMidiException("midiIn not open");
    Stop();
    Driver->api().CloseMidiIn(m_handle);
    m_handle = 0;
    m_description.clear();
    m_isOpen = false;
}

void TMidiIn::Start()
{
    if (!m_isOpen || m_started)
        throw EMidiException("cant start midiIn");
    m_started = true;
    m_timeCarry = 0;
    Driver->api().StartMidiIn(m_handle);
}

void TMidiIn::Stop()
{
    if (!m_isOpen)
        throw EMidiException("midiIn not open");
    m_started = false;
    Driver->api().StopMidiIn(m_handle);
}

void TMidiIn::Reset()
{
    if (!m_isOpen || !m_started)
        throw EMidiException("midiIn cant reset");
    m_timeCarry = 0;
    Driver->api().StopMidiIn(m_handle);
    Driver->api().StartMidiIn(m_handle);
}

std::uint16_t TMidiIn::GetNumDevices() const
{
    requireDriver();
    return Driver->api().GetNumInDevices();
}

std::uint16_t TMidiIn::GetIDFromName(const std::string& name) const
{
    requireDriver();
    std::uint16_t count = Driver->api().GetNumInDevices();
    for (std::uint16_t id = 0; id < count; ++id) {
        char text[MIDIDRV_DESCRIPTION_SIZE] = {};
        Driver->api().GetMidiInDescription(id, text);
        text[MIDIDRV_DESCRIPTION_SIZE - 1] = '\0';
        if (name == text)
            return id;
    }
    return kNoDevice;
}

MidiEvent* TMidiIn::Get()
{
    // A notification may still be queued after Close.
    if (!m_isOpen || !Driver)
        return nullptr;
    MidiDrvEvent* received = Driver->api().GetMidiIn(m_handle);
    if (!received)
        return nullptr;
    m_event = fromDriverEvent(*received);
    return &m_event;
}

void TMidiIn::deliverWaiting()
{
    while (MidiEvent* event = Get()) {
        event->time += m_timeCarry;
        bool accept = event->status != 0xFE; // active sensing is the line's business
        if (accept && OnMidiData)
            OnMidiData(event, accept);
        m_timeCarry = accept ? 0 : event->time;
        if (accept && m_track)
            m_track->Write(*event);
        // A handler may have closed the port; Get then ends the loop.
    }
}

void TMidiIn::handle(std::uint32_t message)
{
    if (message == MIDIDRV_MSG_INPUT_WAITING)
        deliverWaiting();
}

void TMidiIn::reopen()
{
    if (!m_isOpen)
        return;
    bool started = m_started;
    std::uint16_t id = m_deviceId;
    std::uint32_t param = m_param;
    Close();
    if (Open(id, param) && started)
        Start();
}

void TMidiIn::Attach(TMidiSync* sync)
{
    m_sync = sync;
    reopen();
}

void TMidiIn::Detach(TMidiSync* sync)
{
    if (sync != m_sync)
        throw EMidiException("sync not found");
    m_sync = nullptr;
    reopen();
}

void TMidiIn::Attach(TMidiTrack* track)
{
    if (m_track == track)
        return;
    if (m_track) {
        TMidiTrack* old = m_track;
        m_track = nullptr;
        old->Detach(this);
    }
    m_track = track;
    if (track)
        track->Attach(this);
}

void TMidiIn::Detach(TMidiTrack* track)
{
    if (track != m_track)
        throw EMidiException("track not found");
    m_track = nullptr;
    if (track && track->GetMidiIn() == this)
        track->Detach(this);
}

} // namespace kestrow
