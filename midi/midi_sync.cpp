#include "midi/midi_sync.h"

#include "midi/midi_driver.h"
#include "midi/midi_exception.h"

namespace kestrow {

TMidiSync::TMidiSync(TMidiDriver* driver)
    : Driver(driver)
    , m_notifier([this](std::uint32_t message) { handle(message); })
{
}

TMidiSync::~TMidiSync()
{
    if (m_isOpen && Driver) {
        Driver->api().StopSync(m_handle);
        Driver->api().CloseSync(m_handle);
    }
}

bool TMidiSync::Open(std::uint16_t mode, std::uint16_t period)
{
    if (!Driver)
        throw EMidiException("No MidiDriver");
    if (!m_isOpen)
        reopen(mode, period);
    return m_isOpen;
}

void TMidiSync::reopen(std::uint16_t mode, std::uint16_t period)
{
    std::uint32_t handle
        = Driver->api().OpenSync(m_isOpen ? m_handle : 0, m_notifier.notify(), mode, period);
    if (handle > 32) {
        m_handle = handle;
        m_isOpen = true;
        if (mode != 0xFFFF)
            m_mode = mode;
        if (period != 0xFFFF)
            m_period = period;
    } else {
        m_handle = 0;
        m_isOpen = false;
        m_running = false;
    }
}

void TMidiSync::requireOpen() const
{
    if (!m_isOpen || !Driver)
        throw EMidiException("sync not open");
}

void TMidiSync::Close()
{
    requireOpen();
    Driver->api().CloseSync(m_handle);
    m_handle = 0;
    m_running = false;
    m_isOpen = false;
}

void TMidiSync::Mode(std::uint16_t mode)
{
    requireOpen();
    reopen(mode, 0xFFFF);
}

void TMidiSync::Period(std::uint16_t period)
{
    requireOpen();
    reopen(0xFFFF, period);
}

void TMidiSync::Start()
{
    requireOpen();
    m_running = true;
    Driver->api().StartSync(m_handle);
}

void TMidiSync::ReStart()
{
    requireOpen();
    m_running = true;
    Driver->api().ReStartSync(m_handle);
}

void TMidiSync::Stop()
{
    m_running = false;
    if (m_isOpen && Driver)
        Driver->api().StopSync(m_handle);
}

void TMidiSync::Pause(bool flag)
{
    requireOpen();
    m_running = false;
    Driver->api().PauseSync(m_handle, flag ? 1 : 0);
}

std::uint32_t TMidiSync::Tempo() const
{
    return m_isOpen && Driver ? Driver->api().GetTempo(m_handle) : 0;
}

void TMidiSync::Tempo(std::uint32_t microsPerQuarter)
{
    if (m_isOpen && Driver)
        Driver->api().SetTempo(m_handle, microsPerQuarter);
}

std::uint16_t TMidiSync::Resolution() const
{
    return m_isOpen && Driver ? Driver->api().GetResolution(m_handle) : 0;
}

void TMidiSync::Resolution(std::uint16_t ticksPerQuarter)
{
    if (m_isOpen && Driver)
        Driver->api().SetResolution(m_handle, ticksPerQuarter);
}

std::uint32_t TMidiSync::Position() const
{
    std::uint32_t ticks = 0;
    if (m_isOpen && Driver)
        Driver->api().GetPosition(m_handle, &ticks);
    return ticks;
}

std::uint32_t TMidiSync::Convert(std::uint16_t beatsPerMinute)
{
    return 60000000u / (beatsPerMinute == 0 ? 120u : beatsPerMinute);
}

std::uint16_t TMidiSync::Convert(std::uint32_t microsPerQuarter)
{
    // A tempo of 0 would divide by zero; it reads as the default tempo.
    std::uint32_t bpm = 60000000u / (microsPerQuarter == 0 ? 500000u : microsPerQuarter);
    return static_cast<std::uint16_t>(bpm > 0xFFFF ? 0xFFFF : bpm);
}

void TMidiSync::handle(std::uint32_t message)
{
    if (message == MIDIDRV_MSG_SYNC_BEAT) {
        if (OnMidiBeat)
            OnMidiBeat(this);
    } else if (message == MIDIDRV_MSG_SYNC_DONE) {
        m_running = false;
        if (OnSyncDone)
            OnSyncDone(this);
    }
}

} // namespace kestrow
