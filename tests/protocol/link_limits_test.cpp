#include "fakes.h"
#include "sim/link_limits.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrow {
namespace {

    using sim::LimitedDevice;
    using sim::LinkDrops;
    using sim::LinkLimits;
    using sim::ZembraDevice;
    using testing::frameBytes;

    /// One identify request per arrival time: '+' answered, '.' not.
    std::string answers(LimitedDevice& link, const std::vector<std::int64_t>& arrivals)
    {
        std::string out;
        for (std::int64_t at : arrivals)
            out += link.receive(frameBytes({ 0x06, 0, 0, 0xF7 }), at).empty() ? '.' : '+';
        return out;
    }

    std::vector<std::int64_t> everyMs(int count, int step)
    {
        std::vector<std::int64_t> times;
        for (int i = 0; i < count; ++i)
            times.push_back(std::int64_t { i } * step);
        return times;
    }

    TEST(LinkLimitsTest, BusyTimesAndNoOrTotalLossEachWay)
    {
        struct Case {
            LinkLimits limits;
            std::vector<std::int64_t> arrivals;
            std::string expected;
            LinkDrops drops;
        };
        const Case cases[] = {
            // Busy for less than the message time after each message it takes:
            // taken at 0, 15, 30 and 45, each time the first free millisecond.
            { { 15, 0, 0, 1 }, { 0, 1, 14, 15, 29, 30, 31, 45, 46 }, "+..+.+.+.", { 5, 0, 0 } },
            { {}, { 0, 0, 1, 14 }, "++++", { 0, 0, 0 } }, // no limits: all answered
            { { 0, 0, 0, 9 }, everyMs(4, 1), "++++", { 0, 0, 0 } },
            { { 0, 100, 0, 9 }, everyMs(4, 1), "....", { 0, 4, 0 } },
            { { 0, 0, 100, 9 }, everyMs(4, 1), "....", { 0, 0, 4 } },
            { { 0, 100, 100, 9 }, everyMs(4, 1), "....", { 0, 4, 0 } },
        };
        for (const Case& c : cases) {
            ZembraDevice device;
            LimitedDevice link(device, c.limits);
            EXPECT_EQ(answers(link, c.arrivals), c.expected) << "row " << &c - cases;
            EXPECT_EQ(link.drops(), c.drops) << "row " << &c - cases;
        }
    }

    TEST(LinkLimitsTest, ASeedGivesTheSameLossesEveryRunAndNearTheShareAsked)
    {
        const LinkLimits limits { 0, 20, 10, 42 };
        ZembraDevice device;
        LimitedDevice first(device, limits), second(device, limits);
        // mt19937 is fixed by the standard, so this pattern holds with any library.
        EXPECT_EQ(answers(first, everyMs(24, 1)), "+++.+.++.+...++++.++..++");
        EXPECT_EQ(answers(second, everyMs(24, 1)), "+++.+.++.+...++++.++..++");
        LimitedDevice other(device, { 0, 20, 10, 43 });
        EXPECT_NE(answers(other, everyMs(24, 1)), "+++.+.++.+...++++.++..++");

        LimitedDevice many(device, { 0, 5, 5, 1 });
        answers(many, everyMs(20000, 1));
        // 5 % of 20000 in, 5 % of the 19000 answered out: a wide margin, never flaky.
        EXPECT_NEAR(many.drops().lostIn, 1000, 150);
        EXPECT_NEAR(many.drops().lostOut, 950, 150);
    }

    TEST(LinkLimitsTest, SettingsTextParsesOrSaysWhatIsWrong)
    {
        struct Case {
            const char* text;
            std::optional<LinkLimits> limits;
            std::string error;
        };
        const Case cases[] = {
            { "", LinkLimits {}, "" },
            { "message-time=15,loss-in=5,loss-out=2.5,seed=7", LinkLimits { 15, 5, 2.5, 7 }, "" },
            { "seed=4294967295,loss-out=100", LinkLimits { 0, 0, 100, 4294967295u }, "" },
            { "loss-in=100.5", std::nullopt, "loss-in must be a percentage 0..100, not '100.5'" },
            { "loss-in=-1", std::nullopt, "loss-in must be a percentage 0..100, not '-1'" },
            { "message-time=60001", std::nullopt,
                "message-time must be milliseconds 0..60000, not '60001'" },
            { "seed=", std::nullopt, "seed must be a number 0..4294967295, not ''" },
            { "loss=5", std::nullopt,
                "unknown limit 'loss=5'; use message-time=MS, loss-in=PERCENT, "
                "loss-out=PERCENT, seed=N" },
        };
        for (const Case& c : cases) {
            std::string error;
            EXPECT_EQ(sim::parseLinkLimits(c.text, error), c.limits) << c.text;
            EXPECT_EQ(error, c.error) << c.text;
        }
    }

} // namespace
} // namespace kestrow
