#pragma once

#include <chrono>
#include <optional>

namespace kestrow {

/// When to write the crash-recovery journal. The owner reports changes and
/// asks due() from a periodic tick, both with the time of its own clock; the
/// journal falls due one delay after the first change it does not hold yet, so
/// steady typing still gets journaled once per delay. With a tick interval t the
/// journal is written at most delay + t after any change.
class RecoveryScheduler {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kDefaultDelay { 1000 };

    explicit RecoveryScheduler(std::chrono::milliseconds delay = kDefaultDelay);

    /// The working set changed at now.
    void changed(Clock::time_point now);
    /// Whether the journal should be written at now.
    bool due(Clock::time_point now) const;
    /// The journal was written and holds every change reported so far.
    void written();
    /// Writing failed at now: the changes stay pending, the next try one delay later.
    void failed(Clock::time_point now);
    /// Whether changes wait to be journaled.
    bool pending() const { return m_dueAt.has_value(); }
    /// When the journal falls due; none while nothing waits.
    std::optional<Clock::time_point> dueAt() const { return m_dueAt; }

private:
    std::chrono::milliseconds m_delay;
    std::optional<Clock::time_point> m_dueAt;
};

} // namespace kestrow
