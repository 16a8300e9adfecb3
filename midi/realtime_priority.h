#pragma once

namespace kestrow {

/// Real-time scheduling for the thread that waits for paced MIDI deadlines,
/// as MIDI and audio programs use it: a thread under SCHED_FIFO is woken at
/// its deadline even while ordinary processes keep every core busy.
class RealtimePriority {
public:
    /// Puts the calling thread under SCHED_FIFO at a low real-time priority;
    /// threads it starts afterwards do not inherit it. Returns false, with
    /// nothing changed, when the system does not permit it (no privilege);
    /// after one refusal it does not ask again.
    bool enter();
    /// Returns the calling thread to ordinary time sharing when enter()
    /// raised it; otherwise does nothing.
    void leave();
    /// Whether the calling thread was raised by enter() and not yet left.
    bool active() const { return m_active; }

private:
    bool m_active = false;
    bool m_refused = false;
};

} // namespace kestrow
