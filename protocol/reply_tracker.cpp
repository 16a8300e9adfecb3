#include "protocol/reply_tracker.h"

#include <algorithm>

namespace kestrow {

void ReplyTracker::expect(FrameKind reply, int preset, bool repeatOnce, Clock::time_point now)
{
    std::erase_if(
        m_pending, [&](const Pending& p) { return p.reply == reply && p.preset == preset; });
    m_pending.push_back(Pending { reply, preset, now, repeatOnce });
}

void ReplyTracker::arrived(FrameKind reply, int preset)
{
    const bool presetReply = reply == FrameKind::presetData || reply == FrameKind::initValues;
    std::erase_if(m_pending,
        [&](const Pending& p) { return p.reply == reply && (!presetReply || p.preset == preset); });
}

ReplyTracker::Expired ReplyTracker::expire(Clock::time_point now, Clock::duration timeout)
{
    Expired expired;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (now - it->askedAt < timeout) {
            ++it;
        } else if (it->repeatOnce) {
            // Right after a port opens the first query may be lost on the way.
            it->repeatOnce = false;
            it->askedAt = now;
            expired.repeat.push_back(it->reply == FrameKind::versionReply
                    ? dump::kVersionQuery
                    : dump::kConfigurationQuery);
            ++it;
        } else {
            expired.unanswered.push_back(requestName(it->reply, it->preset));
            it = m_pending.erase(it);
        }
    }
    return expired;
}

std::string ReplyTracker::requestName(FrameKind reply, int preset)
{
    switch (reply) {
    case FrameKind::presetData:
        return "preset " + std::to_string(preset + 1);
    case FrameKind::initValues:
        return "init values of preset " + std::to_string(preset + 1);
    case FrameKind::versionReply:
        return "version";
    default:
        return "configuration";
    }
}

} // namespace kestrow
