#include "platform/mididrv/sync_clock.h"

#include <algorithm>

namespace kestrow::mididrv {

SyncClock::SyncClock(MidiDrvNotify notify)
    : m_notify(notify)
{
}

SyncClock::~SyncClock()
{
    std::unique_lock lock(m_mutex);
    halt(lock);
}

void SyncClock::configure(std::uint16_t mode, std::uint16_t period)
{
    std::lock_guard lock(m_mutex);
    if (mode != 0xFFFF)
        m_mode = mode;
    if (period != 0xFFFF)
        m_period = period;
    m_wake.notify_all();
}

void SyncClock::start()
{
    std::unique_lock lock(m_mutex);
    halt(lock);
    m_baseTicks = 0;
    launch(lock);
}

void SyncClock::stop()
{
    std::unique_lock lock(m_mutex);
    bool was = m_running;
    halt(lock);
    m_baseTicks = 0;
    lock.unlock();
    if (was && m_notify.callback)
        m_notify.callback(m_notify.context, MIDIDRV_MSG_SYNC_DONE);
}

void SyncClock::pause()
{
    std::unique_lock lock(m_mutex);
    if (!m_running)
        return;
    m_baseTicks = positionLocked(Clock::now());
    halt(lock);
}

void SyncClock::restart()
{
    std::unique_lock lock(m_mutex);
    if (m_running)
        return;
    launch(lock);
}

void SyncClock::setTempo(std::uint32_t microsPerQuarter)
{
    std::lock_guard lock(m_mutex);
    rebaseLocked();
    m_tempo = std::max<std::uint32_t>(microsPerQuarter, 1);
    m_wake.notify_all();
}

void SyncClock::setResolution(std::uint16_t ticksPerQuarter)
{
    std::lock_guard lock(m_mutex);
    rebaseLocked();
    m_resolution = std::max<std::uint16_t>(ticksPerQuarter, 1);
    m_wake.notify_all();
}

std::uint32_t SyncClock::tempo() const
{
    std::lock_guard lock(m_mutex);
    return m_tempo;
}

std::uint16_t SyncClock::resolution() const
{
    std::lock_guard lock(m_mutex);
    return m_resolution;
}

std::uint32_t SyncClock::position() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<std::uint32_t>(positionLocked(Clock::now()));
}

bool SyncClock::running() const
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

std::uint32_t SyncClock::ticksFor(std::uint64_t micros) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<std::uint32_t>(micros * m_resolution / m_tempo);
}

void SyncClock::launch(std::unique_lock<std::mutex>&)
{
    m_running = true;
    m_quit = false;
    m_segmentStart = Clock::now();
    m_thread = std::thread([this] { run(); });
}

void SyncClock::halt(std::unique_lock<std::mutex>& lock)
{
    if (m_thread.joinable()) {
        m_quit = true;
        m_wake.notify_all();
        if (m_thread.get_id() == std::this_thread::get_id()) {
            // Asked from a beat handler: the thread ends by itself.
            m_thread.detach();
        } else {
            lock.unlock();
            m_thread.join();
            lock.lock();
        }
    }
    m_running = false;
}

std::uint64_t SyncClock::positionLocked(Clock::time_point now) const
{
    if (!m_running)
        return m_baseTicks;
    auto micros
        = std::chrono::duration_cast<std::chrono::microseconds>(now - m_segmentStart).count();
    return m_baseTicks
        + static_cast<std::uint64_t>(std::max<std::int64_t>(micros, 0)) * m_resolution / m_tempo;
}

std::uint32_t SyncClock::periodTicksLocked() const
{
    return m_period != 0 ? m_period : m_resolution;
}

void SyncClock::rebaseLocked()
{
    auto now = Clock::now();
    m_baseTicks = positionLocked(now);
    m_segmentStart = now;
}

void SyncClock::run()
{
    std::unique_lock lock(m_mutex);
    std::uint64_t nextBeat
        = (positionLocked(Clock::now()) / periodTicksLocked() + 1) * periodTicksLocked();
    while (!m_quit) {
        auto now = Clock::now();
        std::uint64_t pos = positionLocked(now);
        if (pos < nextBeat) {
            auto micros = (nextBeat - pos) * m_tempo / m_resolution + 1;
            m_wake.wait_until(lock, now + std::chrono::microseconds(micros));
            continue;
        }
        bool done = m_mode == 1 && pos >= periodTicksLocked();
        nextBeat = (pos / periodTicksLocked() + 1) * periodTicksLocked();
        if (done) {
            m_baseTicks = pos;
            m_running = false;
            m_quit = true;
        }
        MidiDrvNotify notify = m_notify;
        lock.unlock();
        if (notify.callback) {
            notify.callback(notify.context, MIDIDRV_MSG_SYNC_BEAT);
            if (done)
                notify.callback(notify.context, MIDIDRV_MSG_SYNC_DONE);
        }
        lock.lock();
    }
}

} // namespace kestrow::mididrv
