#include "midi/realtime_priority.h"

#include <sched.h>

namespace kestrow {

namespace {

    /// Low among real-time priorities: above every ordinary process, below
    /// audio servers, which run at 70 and higher.
    constexpr int kPacingPriority = 10;

} // namespace

bool RealtimePriority::enter()
{
    if (m_active)
        return true;
    if (m_refused)
        return false;
    sched_param param {};
    param.sched_priority = kPacingPriority;
    // Reset on fork: helper threads the toolkit starts meanwhile (painting,
    // file dialogs) stay ordinary.
    if (::sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) != 0) {
        m_refused = true;
        return false;
    }
    m_active = true;
    return true;
}

void RealtimePriority::leave()
{
    if (!m_active)
        return;
    sched_param param {};
    ::sched_setscheduler(0, SCHED_OTHER, &param);
    m_active = false;
}

} // namespace kestrow
