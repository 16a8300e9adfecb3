#pragma once

#include "protocol/dump_frame.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrow {

/// The requests put to the device that wait for their replies, on the
/// protocol's steady clock: what is still open, and what has waited too long.
class ReplyTracker {
public:
    using Clock = std::chrono::steady_clock;

    /// What expire() found: requests given up (named for the status line)
    /// and the queries to put once more.
    struct Expired {
        std::vector<std::string> unanswered;
        std::vector<std::uint8_t> repeat;
    };

    /// A request for `reply` (preset 0..127 for preset data and init values)
    /// went at `now`; an older one for the same reply is replaced.
    /// `repeatOnce`: the first time-out puts the query again instead.
    void expect(FrameKind reply, int preset, bool repeatOnce, Clock::time_point now);
    /// A reply came: the request it answers is done (a version or
    /// configuration reply answers whatever preset was named).
    void arrived(FrameKind reply, int preset);
    /// Gives up what has waited `timeout` or longer at `now`.
    Expired expire(Clock::time_point now, Clock::duration timeout);
    void clear() { m_pending.clear(); }
    bool empty() const { return m_pending.empty(); }
    int size() const { return static_cast<int>(m_pending.size()); }

    /// The status line's name of a request ("preset 6", "version").
    static std::string requestName(FrameKind reply, int preset);

private:
    struct Pending {
        FrameKind reply = FrameKind::otherCommand;
        int preset = 0;
        Clock::time_point askedAt;
        bool repeatOnce = false;
    };
    std::vector<Pending> m_pending;
};

} // namespace kestrow
