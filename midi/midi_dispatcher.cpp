#include "midi/midi_dispatcher.h"

#include <atomic>

namespace kestrow {

namespace {

    InlineDispatcher g_inline;
    std::atomic<MidiDispatcher*> g_default { nullptr };

} // namespace

void ManualDispatcher::post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_posted.notify_all();
}

int ManualDispatcher::pump()
{
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_tasks);
    }
    int count = 0;
    for (auto& task : tasks) {
        task();
        ++count;
    }
    return count;
}

bool ManualDispatcher::pumpUntil(
    const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        pump();
        if (done())
            return true;
        std::unique_lock lock(m_mutex);
        if (!m_posted.wait_until(lock, deadline, [this] { return !m_tasks.empty(); })) {
            lock.unlock();
            pump();
            return done();
        }
    }
}

std::size_t ManualDispatcher::pending() const
{
    std::lock_guard lock(m_mutex);
    return m_tasks.size();
}

MidiDispatcher& defaultMidiDispatcher()
{
    MidiDispatcher* dispatcher = g_default.load();
    return dispatcher ? *dispatcher : g_inline;
}

void setDefaultMidiDispatcher(MidiDispatcher* dispatcher) { g_default.store(dispatcher); }

} // namespace kestrow
