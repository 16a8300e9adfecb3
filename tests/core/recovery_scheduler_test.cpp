#include "core/recovery_scheduler.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace kestrow;

namespace {

TEST(RecoverySchedulerTest, JournalFallsDueOneDelayAfterTheFirstUnsavedChange)
{
    // Milliseconds, event (c change, w written, f failed, - none), due afterwards.
    // Steady typing does not postpone the journal; a failed write keeps it pending.
    const std::vector<std::tuple<int, char, bool>> timeline {
        { 0, '-', false },
        { 100, 'c', false },
        { 900, 'c', false },
        { 1099, '-', false },
        { 1100, '-', true },
        { 1100, 'w', false },
        { 5000, 'c', false },
        { 6000, '-', true },
        { 6000, 'f', false },
        { 6999, '-', false },
        { 7000, '-', true },
    };
    RecoveryScheduler scheduler(std::chrono::milliseconds(1000));
    for (const auto& [ms, event, due] : timeline) {
        const auto now = RecoveryScheduler::Clock::time_point {} + std::chrono::milliseconds(ms);
        if (event == 'c')
            scheduler.changed(now);
        else if (event == 'w')
            scheduler.written();
        else if (event == 'f')
            scheduler.failed(now);
        EXPECT_EQ(scheduler.due(now), due) << ms << " ms";
    }
}

} // namespace
