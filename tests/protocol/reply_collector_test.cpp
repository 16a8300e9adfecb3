#include "fakes.h"
#include "protocol/reply_collector.h"

#include <gtest/gtest.h>

namespace kestrow {
namespace {

    using testing::Bytes;
    using testing::frameBytes;
    using testing::presetData;

    // Channel and realtime traffic between a reply's bytes is the reply fuzz
    // target's: its corpus puts both anywhere in replies. Every reply here goes
    // in byte by byte, as events come.
    TEST(ReplyCollectorTest, DamagedRepliesAreDroppedAndTheNextOneIsHeard)
    {
        const Bytes good = presetData(4);
        Bytes truncated(good.begin(), good.begin() + 40);
        truncated.push_back(0xF7);
        Bytes longer = good;
        longer.insert(longer.end() - 1, 0x01);
        Bytes shortInit = testing::initValues(4, 1);
        shortInit.erase(shortInit.begin() + 9);
        Bytes highPreset = good;
        highPreset[7] = 0x85;
        Bytes overlong { 0xF0 };
        overlong.resize(450, 0x01);
        overlong.push_back(0xF7);
        // Cut off by the start of the next message: only the second counts.
        Bytes cut(good.begin(), good.begin() + 30);
        cut.insert(cut.end(), good.begin(), good.end());
        for (const Bytes& damaged : { truncated, longer, shortInit, highPreset, overlong,
                 frameBytes({ 0x26, 1, 0, 0xF7 }) }) {
            ReplyCollector collector;
            EXPECT_FALSE(collector.feedBytes(damaged)) << damaged.size();
            const auto next = collector.feedBytes(frameBytes({ 0x50, 0x05, 0x09, 0xF7 }));
            ASSERT_TRUE(next && next->kind == FrameKind::configuration) << damaged.size();
            EXPECT_EQ(next->frame.secondParam, 0x09);
            EXPECT_TRUE(collector.feedBytes(cut));
            EXPECT_EQ(collector.replyByteCount(), 0);
        }

        // Reopening the input forgets a half message.
        ReplyCollector collector;
        collector.feedBytes(std::span(good).first(20));
        EXPECT_EQ(collector.replyByteCount(), 20);
        collector.reset();
        EXPECT_FALSE(collector.feedBytes(std::span(good).subspan(20)));
    }

    TEST(ReplyCollectorTest, ValuesAreMaskedAndAForeignHeaderIsIgnored)
    {
        ReplyCollector collector;
        Bytes bytes = presetData(1);
        bytes[9] = 0x93; // stray high bits in values
        bytes[56] = 0xC4;
        auto r = collector.feedBytes(bytes);
        ASSERT_TRUE(r && r->kind == FrameKind::presetData);
        EXPECT_EQ(r->frame.payload[0], 0x13);
        EXPECT_EQ(r->frame.payload[47], 0x44); // every kind of reply goes through one mask

        // Another maker's SysEx with the device's command bytes is not a reply.
        EXPECT_FALSE(
            collector.feedBytes(Bytes { 0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x00, 2, 1, 0xF7 }));
        for (std::size_t at : { 1, 2, 3, 4, 5 }) {
            bytes = presetData(1);
            bytes[at] ^= 0x01;
            EXPECT_FALSE(collector.feedBytes(bytes)) << at;
        }
    }

} // namespace
} // namespace kestrow
