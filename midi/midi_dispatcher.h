#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace kestrow {

/// Carries the driver library's notifications, which arrive on any thread,
/// to the thread that owns the toolkit objects. Tasks posted by one object
/// must run in the order they were posted. The application implements it
/// over its event loop (a queued call on the user-interface thread).
class MidiDispatcher {
public:
    virtual ~MidiDispatcher() = default;
    /// May be called from any thread.
    virtual void post(std::function<void()> task) = 0;
};

/// Runs every task at once on the posting thread: for programs without an
/// event loop whose handlers are thread-safe.
class InlineDispatcher : public MidiDispatcher {
public:
    void post(std::function<void()> task) override { task(); }
};

/// Queues tasks until the owner pumps them; for tests and console tools.
class ManualDispatcher : public MidiDispatcher {
public:
    void post(std::function<void()> task) override;
    /// Runs what is queued now, in order; the number run.
    int pump();
    /// Pumps until done() is true or the time is up; true when done.
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    std::size_t pending() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_tasks;
};

/// The dispatcher of toolkit objects that have none of their own; an
/// InlineDispatcher until one is set. Set it before ports are opened.
MidiDispatcher& defaultMidiDispatcher();
/// Null goes back to the inline dispatcher. The dispatcher must outlive
/// every toolkit object that uses it.
void setDefaultMidiDispatcher(MidiDispatcher* dispatcher);

} // namespace kestrow
