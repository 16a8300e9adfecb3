#include "core/recovery_scheduler.h"

namespace kestrow {

RecoveryScheduler::RecoveryScheduler(std::chrono::milliseconds delay)
    : m_delay(delay)
{
}

void RecoveryScheduler::changed(Clock::time_point now)
{
    // Later changes do not push the time back, or typing would postpone it forever.
    if (!m_dueAt)
        m_dueAt = now + m_delay;
}

bool RecoveryScheduler::due(Clock::time_point now) const { return m_dueAt && now >= *m_dueAt; }

void RecoveryScheduler::written() { m_dueAt.reset(); }

void RecoveryScheduler::failed(Clock::time_point now) { m_dueAt = now + m_delay; }

} // namespace kestrow
