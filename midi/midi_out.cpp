#include "midi/midi_out.h"

#include "midi/midi_driver.h"
#include "midi/midi_exception.h"
#include "midi/midi_score.h"

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
    : TMidiPort(driver, true, [this](std::uint32_t message) { handle(message); })
{
}

TMidiOut::~TMidiOut()
{
    try {
        if (IsOpen())
            Close();
    } catch (const EMidiException& e) {
        std::cerr << "kestrow: " << e.what() << '\n';
    }
}

bool TMidiOut::Open(std::uint16_t id, std::uint32_t param) { return openDevice(id, param); }

void TMidiOut::Close()
{
    if (!IsOpen())
        throw EMidiException("midiOut not open");
    Reset();
    Driver->api().CloseMidiOut(m_handle);
    forgetDevice();
}

void TMidiOut::Reset()
{
    if (!IsOpen())
        throw EMidiException("midiOut not open");
    Driver->api().ResetMidiOut(m_handle);
}

void TMidiOut::Flush()
{
    if (!IsOpen())
        throw EMidiException("midiOut not open");
    Driver->api().FlushMidiOut(m_handle);
}

std::string putStatusText(PutStatus status)
{
    switch (status) {
    case PutStatus::taken:
        return "sent";
    case PutStatus::portClosed:
        return "the port is not open";
    case PutStatus::notMidi:
        return "the driver dropped a byte that is not part of a MIDI message";
    case PutStatus::notSent:
        return "the MIDI system did not take the message";
    }
    return "unknown failure";
}

bool TMidiOut::Put(const MidiEvent* event)
{
    return event != nullptr && PutEvent(*event) == PutStatus::taken;
}

PutStatus TMidiOut::PutEvent(const MidiEvent& event)
{
    if (!IsOpen())
        return PutStatus::portClosed;
    MidiDrvEvent e = toDriverEvent(event);
    switch (Driver->api().PutMidiOut(m_handle, &e)) {
    case MIDIDRV_PUT_TAKEN:
        return PutStatus::taken;
    case MIDIDRV_PUT_NO_PORT:
        return PutStatus::portClosed; // the library knows no such port
    case MIDIDRV_PUT_NOT_MIDI:
        return PutStatus::notMidi;
    default:
        return PutStatus::notSent;
    }
}

void TMidiOut::reopen()
{
    if (!IsOpen())
        return;
    std::uint16_t id = m_deviceId;
    std::uint32_t param = m_param;
    Close();
    // A port the library will not open again stays closed; IsOpen says so.
    static_cast<void>(Open(id, param));
}

void TMidiOut::Attach(TMidiScore* score) { m_score = score; }

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
