#pragma once

#include "platform/mididrv/mididrv.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace kestrow::mididrv {

/// A tempo clock on its own thread. Positions are ticks since Start; beats
/// are reported every period ticks (a quarter note when period is 0).
class SyncClock {
public:
    explicit SyncClock(MidiDrvNotify notify);
    ~SyncClock();
    SyncClock(const SyncClock&) = delete;
    SyncClock& operator=(const SyncClock&) = delete;

    /// 0xFFFF keeps the current value.
    void configure(std::uint16_t mode, std::uint16_t period);
    void start();
    void stop();
    void pause();
    void restart();
    void setTempo(std::uint32_t microsPerQuarter);
    void setResolution(std::uint16_t ticksPerQuarter);
    std::uint32_t tempo() const;
    std::uint16_t resolution() const;
    std::uint32_t position() const;
    bool running() const;
    /// Ticks for a span of microseconds at the current tempo.
    std::uint32_t ticksFor(std::uint64_t micros) const;

private:
    using Clock = std::chrono::steady_clock;

    void launch(std::unique_lock<std::mutex>& lock);
    void halt(std::unique_lock<std::mutex>& lock);
    void run();
    std::uint64_t positionLocked(Clock::time_point now) const;
    std::uint32_t periodTicksLocked() const;
    void rebaseLocked();

    MidiDrvNotify m_notify;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_quit = false;
    bool m_running = false;
    std::uint16_t m_mode = 0;
    std::uint16_t m_period = 0;
    std::uint32_t m_tempo = 500000;
    std::uint16_t m_resolution = 480;
    std::uint64_t m_baseTicks = 0; ///< position when the current run segment began
    Clock::time_point m_segmentStart;
};

} // namespace kestrow::mididrv
