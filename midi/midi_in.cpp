#include "midi/midi_in.h"

#include "midi/midi_driver.h"
#include "midi/midi_exception.h"
#include "midi/midi_out.h"
#include "midi/midi_track.h"

#include <iostream>

namespace kestrow {

TMidiIn::TMidiIn(TMidiDriver* driver)
    : TMidiPort(driver, false, [this](std::uint32_t message) { handle(message); })
{
}

TMidiIn::~TMidiIn()
{
    try {
        if (IsOpen())
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

bool TMidiIn::Open(std::uint16_t id, std::uint32_t param)
{
    const bool opened = openDevice(id, param);
    m_timeCarry = 0;
    return opened;
}

void TMidiIn::Close()
{
    if (!IsOpen())
        throw EMidiException("midiIn not open");
    Stop();
    Driver->api().CloseMidiIn(m_handle);
    forgetDevice();
}

void TMidiIn::Start()
{
    if (!IsOpen() || m_started)
        throw EMidiException("cant start midiIn");
    m_started = true;
    m_timeCarry = 0;
    Driver->api().StartMidiIn(m_handle);
}

void TMidiIn::Stop()
{
    if (!IsOpen())
        throw EMidiException("midiIn not open");
    m_started = false;
    Driver->api().StopMidiIn(m_handle);
}

void TMidiIn::Reset()
{
    if (!IsOpen() || !m_started)
        throw EMidiException("midiIn cant reset");
    m_timeCarry = 0;
    Driver->api().StopMidiIn(m_handle);
    Driver->api().StartMidiIn(m_handle);
}

MidiEvent* TMidiIn::Get()
{
    // A notification may still be queued after Close.
    if (!IsOpen() || !Driver)
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
    if (!IsOpen())
        return;
    bool started = m_started;
    std::uint16_t id = m_deviceId;
    std::uint32_t param = m_param;
    Close();
    if (Open(id, param) && started)
        Start();
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
