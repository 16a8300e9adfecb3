#pragma once

#include "midi/midi_notifier.h"

#include <cstdint>
#include <functional>

namespace kestrow {

class TMidiDriver;

/// The driver library's tempo clock. Beats and the end of a run arrive as
/// OnMidiBeat and OnSyncDone through the dispatcher.
class TMidiSync {
public:
    explicit TMidiSync(TMidiDriver* driver = nullptr);
    /// Stops and closes.
    ~TMidiSync();
    TMidiSync(const TMidiSync&) = delete;
    TMidiSync& operator=(const TMidiSync&) = delete;

    TMidiDriver* Driver = nullptr;
    std::function<void(TMidiSync*)> OnMidiBeat;
    std::function<void(TMidiSync*)> OnSyncDone;

    /// mode 0 runs until stopped, 1 ends after one period; period in ticks
    /// between beats, 0 for a quarter note. Raises "No MidiDriver".
    bool Open(std::uint16_t mode, std::uint16_t period);
    void Close();
    void Mode(std::uint16_t mode);
    void Period(std::uint16_t period);
    void Start();
    void ReStart();
    void Stop();
    void Pause(bool flag);
    /// Microseconds per quarter note; 0 while closed.
    std::uint32_t Tempo() const;
    void Tempo(std::uint32_t microsPerQuarter);
    /// Ticks per quarter note; 0 while closed.
    std::uint16_t Resolution() const;
    void Resolution(std::uint16_t ticksPerQuarter);
    /// Ticks since Start; 0 while closed.
    std::uint32_t Position() const;
    /// Beats per minute to microseconds per quarter; 0 counts as 120.
    static std::uint32_t Convert(std::uint16_t beatsPerMinute);
    /// Microseconds per quarter to beats per minute; 0 counts as 500000.
    static std::uint16_t Convert(std::uint32_t microsPerQuarter);
    bool IsOpen() const { return m_isOpen; }
    bool IsRunning() const { return m_running; }
    /// The library's handle for ports that follow this clock; 0 when closed.
    std::uint32_t GetHandle() const { return m_isOpen ? m_handle : 0; }

    void setDispatcher(MidiDispatcher* dispatcher) { m_notifier.setDispatcher(dispatcher); }

private:
    void requireOpen() const;
    void reopen(std::uint16_t mode, std::uint16_t period);
    void handle(std::uint32_t message);

    std::uint32_t m_handle = 0;
    bool m_isOpen = false;
    std::uint16_t m_mode = 0;
    std::uint16_t m_period = 0;
    bool m_running = false;
    MidiNotifier m_notifier;
};

} // namespace kestrow
